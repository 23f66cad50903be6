// PBM, PGM and PPM, plain (P1 to P3) and raw (P4 to P6), the first picture
// of the file; small enough to write here, and fuzzed with the rest.
#include <vector>

#include "decode/format_decoders.h"
#include "decode/luminance.h"

namespace {

bool IsSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The next character that is neither blank nor in a comment (or EOF).
int NextSignificant(std::FILE* file) {
  int c = std::getc(file);
  while (IsSpace(c) || c == '#') {
    if (c == '#') {
      while (c != EOF && c != '\n' && c != '\r') c = std::getc(file);
    }
    c = std::getc(file);
  }
  return c;
}

// The next unsigned decimal of the header or of a plain raster; false at
// the end of the file or on anything else.
bool ReadNumber(std::FILE* file, uint64_t& value, uint64_t limit) {
  int c = NextSignificant(file);
  if (c < '0' || c > '9') return false;
  value = 0;
  for (; c >= '0' && c <= '9'; c = std::getc(file)) {
    value = value * 10 + (c - '0');
    if (value > limit) return false;
  }
  if (c != EOF) std::ungetc(c, file);
  return true;
}

// A plain PBM pixel: the digits 0 and 1 need no blanks between them.
bool ReadBit(std::FILE* file, uint32_t& bit) {
  const int c = NextSignificant(file);
  if (c != '0' && c != '1') return false;
  bit = c - '0';
  return true;
}

}  // namespace

bool DecodePnm(std::FILE* file, const DecodeLimits& limits, DecodeResult& result) {
  char magic[2];
  if (std::fread(magic, 1, 2, file) != 2) return Fail(result, DecodeStatus::kDamaged, "no header");
  const int kind = magic[1] - '0';  // 1 to 6, checked by the caller
  const bool bitmap = kind == 1 || kind == 4;
  const bool colour = kind == 3 || kind == 6;
  const bool plain = kind <= 3;
  uint64_t width = 0, height = 0, maxValue = 1;
  if (!ReadNumber(file, width, UINT32_MAX) || !ReadNumber(file, height, UINT32_MAX) ||
      (!bitmap && !ReadNumber(file, maxValue, 65535))) {
    return Fail(result, DecodeStatus::kDamaged, "header damaged");
  }
  if (maxValue == 0) return Fail(result, DecodeStatus::kDamaged, "maximum value 0");
  // Exactly one blank ends the header of a raw file.
  if (!plain && !IsSpace(std::getc(file))) {
    return Fail(result, DecodeStatus::kDamaged, "header damaged");
  }
  if (!AllocateImage(result, width, height, limits)) return false;
  const uint32_t max = static_cast<uint32_t>(maxValue);
  const int channels = colour ? 3 : 1;
  const auto toLuminance = [&](const uint32_t* v) -> uint8_t {
    if (bitmap) return v[0] ? 0 : 255;  // 1 is black
    if (!colour) return ScaleTo8(v[0], max);
    return Luminance(ScaleTo8(v[0], max), ScaleTo8(v[1], max), ScaleTo8(v[2], max));
  };
  const auto cut = [&](int64_t y) {
    return Fail(result, DecodeStatus::kDamaged, "pixel data cut short at row " + std::to_string(y));
  };
  if (plain) {
    for (int64_t y = 0; y < result.image.height; ++y) {
      uint8_t* out = result.image.Row(y);
      for (uint64_t x = 0; x < width; ++x) {
        uint32_t v[3];
        for (int c = 0; c < channels; ++c) {
          uint64_t number = 0;
          const bool ok = bitmap ? ReadBit(file, v[c]) : ReadNumber(file, number, max);
          if (!ok) return cut(y);
          if (!bitmap) v[c] = static_cast<uint32_t>(number);
        }
        out[x] = toLuminance(v);
      }
    }
    return true;
  }
  const int sampleBytes = max > 255 ? 2 : 1;
  const uint64_t rowBytes = bitmap ? (width + 7) / 8 : width * channels * sampleBytes;
  std::vector<uint8_t> row(rowBytes);
  for (int64_t y = 0; y < result.image.height; ++y) {
    if (std::fread(row.data(), 1, rowBytes, file) != rowBytes) return cut(y);
    uint8_t* out = result.image.Row(y);
    if (!bitmap && !colour && max == 255) {  // already luminance
      std::copy(row.begin(), row.end(), out);
      continue;
    }
    for (uint64_t x = 0; x < width; ++x) {
      uint32_t v[3];
      if (bitmap) {
        v[0] = (row[x / 8] >> (7 - x % 8)) & 1;
      } else {
        for (int c = 0; c < channels; ++c) {
          const uint8_t* s = &row[(x * channels + c) * sampleBytes];
          v[c] = sampleBytes == 2 ? (s[0] << 8) | s[1] : s[0];
        }
      }
      out[x] = toLuminance(v);
    }
  }
  return true;
}
