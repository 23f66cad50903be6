// PNG through libpng, a row at a time: any bit depth and colour type, alpha
// over white, interlaced pictures pass by pass, so that only the luminance
// of the whole picture is ever held.
#include <png.h>

#include <csetjmp>
#include <memory>
#include <vector>

#include "decode/format_decoders.h"
#include "decode/luminance.h"

namespace {

// Everything that must survive a longjmp out of libpng lives here.
struct PngContext {
  std::string error;
  std::vector<uint8_t> row;
};

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
  auto* context = static_cast<PngContext*>(png_get_error_ptr(png));
  context->error = message ? message : "error";
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Luminance of `count` expanded 8-bit pixels of `channels` samples each
// (gray, gray + alpha, RGB or RGBA) into out, every `step`-th byte.
void RowToLuminance(const uint8_t* in, int channels, uint32_t count, uint8_t* out, uint32_t step) {
  for (uint32_t i = 0; i < count; ++i, in += channels, out += step) {
    switch (channels) {
      case 1:
        *out = in[0];
        break;
      case 2:
        *out = OverWhite(in[0], in[1]);
        break;
      case 3:
        *out = Luminance(in[0], in[1], in[2]);
        break;
      default:
        *out = OverWhite(Luminance(in[0], in[1], in[2]), in[3]);
    }
  }
}

}  // namespace

bool DecodePng(std::FILE* file, const DecodeLimits& limits, DecodeResult& result) {
  // On the heap: a local changed after setjmp would be indeterminate after
  // the jump back.
  const auto holder = std::make_unique<PngContext>();
  PngContext& context = *holder;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &context, OnError, OnWarning);
  if (!png) return Fail(result, DecodeStatus::kOutOfMemory, "");
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return Fail(result, DecodeStatus::kOutOfMemory, "");
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return Fail(result, DecodeStatus::kDamaged, context.error);
  }
  png_init_io(png, file);
  // The size limit is ours; libpng's own would refuse before we could say so.
  png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
  png_read_info(png, info);
  png_uint_32 perMetreX = 0, perMetreY = 0;
  int unit = PNG_RESOLUTION_UNKNOWN;
  if (png_get_pHYs(png, info, &perMetreX, &perMetreY, &unit) && unit == PNG_RESOLUTION_METER) {
    SetResolution(result, DotsPerInch(perMetreX, 0.0254), DotsPerInch(perMetreY, 0.0254));
  }
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (!AllocateImage(result, width, height, limits)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_expand(png);  // palette to RGB, low gray depths to 8 bits, tRNS to alpha
  png_set_scale_16(png);
  png_read_update_info(png, info);
  const int channels = png_get_channels(png, info);
  context.row.resize(png_get_rowbytes(png, info));
  uint8_t* pixels = result.image.pixels.get();
  if (png_get_interlace_type(png, info) == PNG_INTERLACE_NONE) {
    for (png_uint_32 y = 0; y < height; ++y) {
      png_read_row(png, context.row.data(), nullptr);
      RowToLuminance(context.row.data(), channels, width, pixels + uint64_t{y} * width, 1);
    }
  } else {
    // Without libpng's interlace handling each pass comes as a small picture
    // of its own; its pixels are scattered to their places.
    for (int pass = 0; pass < 7; ++pass) {
      const png_uint_32 columns = PNG_PASS_COLS(width, pass);
      const png_uint_32 rows = PNG_PASS_ROWS(height, pass);
      if (columns == 0 || rows == 0) continue;
      for (png_uint_32 r = 0; r < rows; ++r) {
        png_read_row(png, context.row.data(), nullptr);
        const uint64_t y = PNG_ROW_FROM_PASS_ROW(r, pass);
        RowToLuminance(context.row.data(), channels, columns,
                       pixels + y * width + PNG_COL_FROM_PASS_COL(0, pass),
                       1u << PNG_PASS_COL_SHIFT(pass));
      }
    }
  }
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}
