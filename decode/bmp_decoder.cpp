// BMP of every common layout, written here since no maintained library
// reads them all: OS/2 1.x and 2.x, Windows 3 and V4/V5 headers; 1, 4 and
// 8-bit palettes, RLE8 and RLE4, 16 and 32 bits with or without bit
// fields, 24 bits; bottom-up and top-down. Rows are streamed; only the
// luminance is held. Alpha, where the file has it, lies over white paper;
// an alpha channel that is zero everywhere is taken as unused.
#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "decode/format_decoders.h"
#include "decode/luminance.h"

namespace {

enum Compression : uint32_t {
  kRgb = 0,
  kRle8 = 1,
  kRle4 = 2,
  kBitFields = 3,
  kJpeg = 4,
  kPng = 5,
  kAlphaBitFields = 6
};

uint32_t U32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// One channel of a bit-field pixel: its mask's position and range.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;

  explicit Channel(uint32_t m = 0) : mask(m) {
    if (m == 0) return;
    shift = std::countr_zero(m);
    max = m >> shift;
  }
  uint8_t Of(uint32_t pixel) const { return mask ? ScaleTo8((pixel & mask) >> shift, max) : 0; }
};

struct Bmp {
  uint32_t dataOffset = 0;
  uint32_t headerSize = 0;
  int64_t width = 0;
  int64_t height = 0;  // positive; topDown tells the row order
  bool topDown = false;
  uint16_t bits = 0;
  uint32_t compression = kRgb;
  Channel red, green, blue, alpha;
  std::vector<uint8_t> paletteLuminance;  // one byte an entry
};

bool Damaged(DecodeResult& result, const std::string& why) {
  return Fail(result, DecodeStatus::kDamaged, why);
}

bool ReadHeaders(std::FILE* file, Bmp& bmp, DecodeResult& result) {
  uint8_t head[14 + 124] = {};
  if (std::fread(head, 1, 18, file) != 18) return Damaged(result, "file header cut short");
  bmp.dataOffset = U32(head + 10);
  bmp.headerSize = U32(head + 14);
  const uint32_t size = bmp.headerSize;
  const bool core = size == 12;
  const bool os2 = size == 16 || size == 64;
  if (!core && !os2 && size != 40 && size != 52 && size != 56 && size != 108 && size != 124) {
    return Damaged(result, "unknown info header size " + std::to_string(size));
  }
  uint8_t* info = head + 14;
  if (std::fread(info + 4, 1, size - 4, file) != size - 4) {
    return Damaged(result, "info header cut short");
  }
  if (core) {
    bmp.width = U16(info + 4);
    bmp.height = U16(info + 6);
    bmp.bits = U16(info + 10);
  } else {
    bmp.width = static_cast<int32_t>(U32(info + 4));
    const int32_t height = static_cast<int32_t>(U32(info + 8));
    bmp.topDown = height < 0;
    bmp.height = bmp.topDown ? -static_cast<int64_t>(height) : height;
    bmp.bits = U16(info + 14);
    bmp.compression = U32(info + 16);
    // Pixels per metre; 0 (as most writers leave it) says nothing.
    if (size >= 40)
      SetResolution(result, DotsPerInch(U32(info + 24), 0.0254),
                    DotsPerInch(U32(info + 28), 0.0254));
  }
  if (os2 && (bmp.compression == 3 || bmp.compression == 4)) {
    return Fail(result, DecodeStatus::kUnsupported,
                bmp.compression == 3 ? "OS/2 Huffman-coded BMP" : "OS/2 RLE24 BMP");
  }
  if (bmp.compression == kJpeg || bmp.compression == kPng) {
    return Fail(result, DecodeStatus::kUnsupported,
                bmp.compression == kJpeg ? "BMP holding a JPEG" : "BMP holding a PNG");
  }
  if (bmp.width <= 0 || bmp.height <= 0) return Damaged(result, "no picture size");
  const uint16_t b = bmp.bits;
  const uint32_t c = bmp.compression;
  const bool valid = (c == kRgb && (b == 1 || b == 4 || b == 8 || b == 16 || b == 24 || b == 32)) ||
                     (c == kRle8 && b == 8) || (c == kRle4 && b == 4) ||
                     ((c == kBitFields || c == kAlphaBitFields) && (b == 16 || b == 32));
  if (!valid) {
    return Damaged(result,
                   "bit depth " + std::to_string(b) + " with compression " + std::to_string(c));
  }
  if ((c == kRle8 || c == kRle4) && bmp.topDown) return Damaged(result, "top-down RLE");

  // Bit fields: in the header from 52 bytes on, else right behind it.
  uint32_t masks[4] = {};
  if (c == kBitFields || c == kAlphaBitFields) {
    const int count = c == kAlphaBitFields ? 4 : 3;
    if (size >= 52) {
      for (int i = 0; i < 4 && 40 + 4 * i + 4 <= static_cast<int>(size); ++i) {
        masks[i] = U32(info + 40 + 4 * i);
      }
    } else {
      uint8_t extra[16];
      if (std::fread(extra, 1, 4 * count, file) != static_cast<size_t>(4 * count)) {
        return Damaged(result, "bit fields cut short");
      }
      for (int i = 0; i < count; ++i) masks[i] = U32(extra + 4 * i);
    }
    if (c == kBitFields && size < 56) masks[3] = 0;
  } else if (b == 16) {
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  } else if (b == 24 || b == 32) {
    masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
  }
  bmp.red = Channel(masks[0]);
  bmp.green = Channel(masks[1]);
  bmp.blue = Channel(masks[2]);
  bmp.alpha = Channel(masks[3]);

  if (b <= 8) {
    const uint32_t used = core ? 0 : U32(info + 32);
    const uint32_t entries = used == 0 || used > (1u << b) ? 1u << b : used;
    const int entrySize = core ? 3 : 4;
    std::vector<uint8_t> palette(static_cast<size_t>(entries) * entrySize);
    if (std::fread(palette.data(), 1, palette.size(), file) != palette.size()) {
      return Damaged(result, "palette cut short");
    }
    bmp.paletteLuminance.assign(256, 0);  // indices past the palette are black
    for (uint32_t i = 0; i < entries; ++i) {
      const uint8_t* e = &palette[i * entrySize];
      bmp.paletteLuminance[i] = Luminance(e[2], e[1], e[0]);
    }
  }
  if (bmp.dataOffset < 14 + size || std::fseek(file, bmp.dataOffset, SEEK_SET) != 0) {
    return Damaged(result, "pixel data offset out of the file");
  }
  return true;
}

// Luminance of one row of uncompressed pixels; returns whether any pixel
// had a non-zero alpha.
bool ConvertRow(const Bmp& bmp, const uint8_t* in, uint8_t* out, bool useAlpha) {
  const int64_t width = bmp.width;
  bool anyAlpha = false;
  switch (bmp.bits) {
    case 1:
    case 4:
    case 8: {
      const int bits = bmp.bits;
      const uint32_t mask = (1u << bits) - 1;
      for (int64_t x = 0; x < width; ++x) {
        const uint64_t bit = x * bits;
        out[x] = bmp.paletteLuminance[(in[bit / 8] >> (8 - bits - bit % 8)) & mask];
      }
      break;
    }
    case 24:
      for (int64_t x = 0; x < width; ++x, in += 3) out[x] = Luminance(in[2], in[1], in[0]);
      break;
    default: {
      const bool wide = bmp.bits == 32;
      for (int64_t x = 0; x < width; ++x) {
        const uint32_t pixel = wide ? U32(in + 4 * x) : U16(in + 2 * x);
        uint8_t value = Luminance(bmp.red.Of(pixel), bmp.green.Of(pixel), bmp.blue.Of(pixel));
        if (bmp.alpha.mask) {
          const uint8_t a = bmp.alpha.Of(pixel);
          anyAlpha |= a != 0;
          if (useAlpha) value = OverWhite(value, a);
        }
        out[x] = value;
      }
    }
  }
  return anyAlpha;
}

bool ReadRows(std::FILE* file, const Bmp& bmp, GrayImage& image, bool useAlpha, bool& anyAlpha,
              DecodeResult& result) {
  const uint64_t stride = (static_cast<uint64_t>(bmp.width) * bmp.bits + 31) / 32 * 4;
  std::vector<uint8_t> row(stride);
  for (int64_t j = 0; j < bmp.height; ++j) {
    if (std::fread(row.data(), 1, stride, file) != stride) {
      return Damaged(result, "pixel data cut short at row " + std::to_string(j));
    }
    const int64_t y = bmp.topDown ? j : bmp.height - 1 - j;
    anyAlpha |= ConvertRow(bmp, row.data(), image.Row(y), useAlpha);
  }
  return true;
}

// Run-length data, bottom-up; pixels that the runs skip keep the colour
// of palette entry 0. A row filled without its end-of-line mark goes on at
// the start of the next one, as Windows and the other readers take it
// (some encoders write no mark after a full row); the wrap waits for the
// next pixel, so a full row that has its mark moves down only once.
bool ReadRunLengths(std::FILE* file, const Bmp& bmp, GrayImage& image, DecodeResult& result) {
  std::fill(image.pixels.get(), image.pixels.get() + image.PixelCount(), bmp.paletteLuminance[0]);
  const bool four = bmp.compression == kRle4;
  int64_t x = 0, y = bmp.height - 1;
  const auto put = [&](uint32_t index) {
    if (x >= bmp.width) x = 0, --y;
    if (y >= 0) image.Row(y)[x] = bmp.paletteLuminance[index];
    ++x;
  };
  const auto cut = [&] { return Damaged(result, "run-length data cut short"); };
  while (y >= 0) {
    const int count = std::getc(file);
    const int value = std::getc(file);
    if (count == EOF || value == EOF) return cut();
    if (count > 0) {
      for (int i = 0; i < count; ++i) put(four ? (i % 2 ? value & 15 : value >> 4) : value);
    } else if (value == 0) {
      x = 0, --y;
    } else if (value == 1) {
      break;
    } else if (value == 2) {
      const int dx = std::getc(file), dy = std::getc(file);
      if (dx == EOF || dy == EOF) return cut();
      x += dx, y -= dy;
    } else {
      const int bytes = four ? (value + 1) / 2 : value;
      uint8_t literal[256];
      if (std::fread(literal, 1, bytes + bytes % 2, file) !=
          static_cast<size_t>(bytes + bytes % 2)) {
        return cut();
      }
      for (int i = 0; i < value; ++i) {
        put(four ? (i % 2 ? literal[i / 2] & 15 : literal[i / 2] >> 4) : literal[i]);
      }
    }
  }
  return true;
}

}  // namespace

bool DecodeBmp(std::FILE* file, const DecodeLimits& limits, DecodeResult& result) {
  Bmp bmp;
  if (!ReadHeaders(file, bmp, result)) return false;
  if (!AllocateImage(result, bmp.width, bmp.height, limits)) return false;
  if (bmp.compression == kRle8 || bmp.compression == kRle4) {
    return ReadRunLengths(file, bmp, result.image, result);
  }
  bool anyAlpha = false;
  if (!ReadRows(file, bmp, result.image, true, anyAlpha, result)) return false;
  if (bmp.alpha.mask && !anyAlpha) {
    // Alpha zero everywhere: the channel is unused, not a blank picture.
    bool unused = false;
    if (std::fseek(file, bmp.dataOffset, SEEK_SET) != 0) return Damaged(result, "seek failed");
    return ReadRows(file, bmp, result.image, false, unused, result);
  }
  return true;
}
