// TIFF through libtiff, first page only. Gray, bilevel, palette and RGB
// strips are read a scanline at a time and converted here (this keeps a
// one-strip G4 scan at one byte a pixel); anything else (tiles, YCbCr,
// CMYK, separate planes) goes through libtiff's RGBA reader in bands.
#include <tiffio.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "decode/format_decoders.h"
#include "decode/luminance.h"

namespace {

struct TiffContext {
  std::FILE* file;
  std::string error;
};

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size) {
  auto* context = static_cast<TiffContext*>(handle);
  return static_cast<tmsize_t>(std::fread(buffer, 1, static_cast<size_t>(size), context->file));
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) {
  return -1;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
  auto* context = static_cast<TiffContext*>(handle);
  if (offset > static_cast<toff_t>(INT64_MAX)) return static_cast<toff_t>(-1);
  if (fseeko(context->file, static_cast<off_t>(offset), whence) != 0)
    return static_cast<toff_t>(-1);
  return static_cast<toff_t>(ftello(context->file));
}

int CloseProc(thandle_t) {
  return 0;
}

toff_t SizeProc(thandle_t handle) {
  auto* context = static_cast<TiffContext*>(handle);
  const off_t here = ftello(context->file);
  fseeko(context->file, 0, SEEK_END);
  const off_t size = ftello(context->file);
  fseeko(context->file, here, SEEK_SET);
  return static_cast<toff_t>(size);
}

int OnError(TIFF*, void* data, const char* module, const char* format, va_list arguments) {
  auto* context = static_cast<TiffContext*>(data);
  if (context->error.empty()) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    context->error = module ? std::string(module) + ": " + text : text;
  }
  return 1;
}

int OnWarning(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

// The fields of a strip picture that the scanline path understands.
struct Layout {
  uint16_t photometric = 0;
  uint16_t bits = 0;
  uint16_t samples = 0;          // per pixel
  uint16_t colours = 0;          // 1 for gray and palette, 3 for RGB
  int alpha = 0;                 // 0 none, 1 associated, 2 unassociated (first extra sample)
  uint32_t maxValue = 0;         // 2^bits - 1
  std::vector<uint8_t> palette;  // 3 bytes an entry
};

uint32_t SampleAt(const uint8_t* row, uint64_t index, int bits) {
  switch (bits) {
    case 8:
      return row[index];
    case 16:
      return reinterpret_cast<const uint16_t*>(row)[index];
    default: {
      const uint64_t bit = index * bits;
      const int shift = 8 - bits - static_cast<int>(bit % 8);
      return (row[bit / 8] >> shift) & ((1u << bits) - 1);
    }
  }
}

bool ReadLayout(TIFF* tiff, Layout& layout) {
  uint16_t planar = PLANARCONFIG_CONTIG, format = SAMPLEFORMAT_UINT;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &layout.bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &layout.samples);
  if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &layout.photometric)) return false;
  if (TIFFIsTiled(tiff) || planar != PLANARCONFIG_CONTIG || format != SAMPLEFORMAT_UINT) {
    return false;
  }
  const uint16_t bits = layout.bits;
  switch (layout.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
      layout.colours = 1;
      if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16) return false;
      break;
    case PHOTOMETRIC_PALETTE:
      layout.colours = 1;
      if (bits != 1 && bits != 2 && bits != 4 && bits != 8) return false;
      break;
    case PHOTOMETRIC_RGB:
      layout.colours = 3;
      if (bits != 8 && bits != 16) return false;
      break;
    default:
      return false;
  }
  if (layout.samples < layout.colours) return false;
  layout.maxValue = (1u << bits) - 1;
  uint16_t extras = 0;
  uint16_t* kinds = nullptr;
  if (layout.samples > layout.colours &&
      TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extras, &kinds) && extras > 0) {
    if (kinds[0] == EXTRASAMPLE_ASSOCALPHA) layout.alpha = 1;
    if (kinds[0] == EXTRASAMPLE_UNASSALPHA) layout.alpha = 2;
  }
  if (layout.photometric == PHOTOMETRIC_PALETTE) {
    uint16_t *red, *green, *blue;
    if (!TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue)) return false;
    const uint32_t entries = 1u << bits;
    // Old writers put 8-bit values in the 16-bit map.
    bool eightBit = true;
    for (uint32_t i = 0; i < entries; ++i) {
      if (red[i] > 255 || green[i] > 255 || blue[i] > 255) eightBit = false;
    }
    for (uint32_t i = 0; i < entries; ++i) {
      for (const uint16_t* map : {red, green, blue}) {
        // The high byte: right for writers that scale by 257 and for those
        // that shift by 8.
        layout.palette.push_back(static_cast<uint8_t>(eightBit ? map[i] : map[i] >> 8));
      }
    }
  }
  return true;
}

uint8_t PixelLuminance(const uint8_t* row, uint64_t x, const Layout& layout) {
  const uint64_t first = x * layout.samples;
  uint8_t value;
  if (layout.photometric == PHOTOMETRIC_PALETTE) {
    const uint8_t* entry = &layout.palette[3 * SampleAt(row, first, layout.bits)];
    value = Luminance(entry[0], entry[1], entry[2]);
  } else if (layout.colours == 1) {
    value = ScaleTo8(SampleAt(row, first, layout.bits), layout.maxValue);
    if (layout.photometric == PHOTOMETRIC_MINISWHITE) value = 255 - value;
  } else {
    value = Luminance(ScaleTo8(SampleAt(row, first, layout.bits), layout.maxValue),
                      ScaleTo8(SampleAt(row, first + 1, layout.bits), layout.maxValue),
                      ScaleTo8(SampleAt(row, first + 2, layout.bits), layout.maxValue));
  }
  if (layout.alpha == 0) return value;
  const uint32_t alpha =
      ScaleTo8(SampleAt(row, first + layout.colours, layout.bits), layout.maxValue);
  if (layout.alpha == 2) return OverWhite(value, alpha);
  return PremultipliedOverWhite(value, alpha);
}

bool ReadScanlines(TIFF* tiff, const Layout& layout, DecodeResult& result) {
  std::vector<uint8_t> row(static_cast<size_t>(TIFFScanlineSize64(tiff)));
  const uint64_t width = result.image.width;
  if (row.size() * 8 < width * layout.samples * layout.bits) return false;
  for (int32_t y = 0; y < result.image.height; ++y) {
    if (TIFFReadScanline(tiff, row.data(), static_cast<uint32_t>(y), 0) < 0) return false;
    uint8_t* out = result.image.Row(y);
    for (uint64_t x = 0; x < width; ++x) out[x] = PixelLuminance(row.data(), x, layout);
  }
  return true;
}

bool ReadRgbaBands(TIFF* tiff, TiffContext& context, DecodeResult& result) {
  char message[1024] = "";
  if (!TIFFRGBAImageOK(tiff, message)) {
    return Fail(result, DecodeStatus::kUnsupported, message);
  }
  TIFFRGBAImage image;
  if (!TIFFRGBAImageBegin(&image, tiff, 0, message)) {
    return Fail(result, DecodeStatus::kDamaged, message);
  }
  image.req_orientation = image.orientation;  // as stored: turned with the others later
  const uint32_t width = result.image.width;
  const uint32_t height = result.image.height;
  uint32_t band = 64;
  uint32_t stripRows = 0;
  if (TIFFGetField(tiff, TIFFTAG_ROWSPERSTRIP, &stripRows) && stripRows > band &&
      stripRows < 4096) {
    band = stripRows;
  }
  std::vector<uint32_t> raster(uint64_t{width} * band);
  bool ok = true;
  for (uint32_t y = 0; ok && y < height; y += band) {
    const uint32_t rows = std::min(band, height - y);
    image.row_offset = static_cast<int>(y);
    ok = TIFFRGBAImageGet(&image, raster.data(), width, rows) && context.error.empty();
    for (uint32_t r = 0; ok && r < rows; ++r) {
      uint8_t* out = result.image.Row(y + r);
      const uint32_t* in = raster.data() + uint64_t{r} * width;
      for (uint32_t x = 0; x < width; ++x) {
        const uint32_t p = in[x];
        out[x] =
            PremultipliedOverWhite(Luminance(TIFFGetR(p), TIFFGetG(p), TIFFGetB(p)), TIFFGetA(p));
      }
    }
  }
  TIFFRGBAImageEnd(&image);
  if (!ok) return Fail(result, DecodeStatus::kDamaged, context.error);
  return true;
}

}  // namespace

bool DecodeTiff(std::FILE* file, const DecodeLimits& limits, DecodeResult& result) {
  TiffContext context{file, ""};
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) return Fail(result, DecodeStatus::kOutOfMemory, "");
  TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, &context);
  TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, &context);
  // No single allocation of libtiff's may be larger than a strip of this.
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t{1} << 30);
  // "m": no memory mapping, the stream is read through the procedures.
  TIFF* tiff = TIFFClientOpenExt("picture", "rm", &context, ReadProc, WriteProc, SeekProc,
                                 CloseProc, SizeProc, nullptr, nullptr, options);
  TIFFOpenOptionsFree(options);
  if (!tiff) return Fail(result, DecodeStatus::kDamaged, context.error);
  uint32_t width = 0, height = 0;
  bool ok = TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) &&
            TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
  if (!ok) {
    TIFFClose(tiff);
    return Fail(result, DecodeStatus::kDamaged, "no picture size");
  }
  if (!AllocateImage(result, width, height, limits)) {
    TIFFClose(tiff);
    return false;
  }
  uint16_t orientation = ORIENTATION_TOPLEFT;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
  result.orientation = orientation;
  float resolutionX = 0, resolutionY = 0;
  uint16_t unit = RESUNIT_INCH;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
  if (TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &resolutionX) &&
      TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &resolutionY) &&
      (unit == RESUNIT_INCH || unit == RESUNIT_CENTIMETER)) {
    const double perInch = unit == RESUNIT_INCH ? 1 : 2.54;
    SetResolution(result, resolutionX * perInch, resolutionY * perInch);
  }
  Layout layout;
  if (ReadLayout(tiff, layout)) {
    ok = ReadScanlines(tiff, layout, result) && context.error.empty();
    if (!ok)
      Fail(result, DecodeStatus::kDamaged,
           context.error.empty() ? "short scanline" : context.error);
  } else {
    ok = ReadRgbaBands(tiff, context, result);
  }
  TIFFClose(tiff);
  return ok;
}
