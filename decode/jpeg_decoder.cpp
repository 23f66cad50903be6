// JPEG through libjpeg-turbo, a scanline at a time, as luminance: the Y of
// YCbCr pictures is BT.601 luminance already; CMYK is converted here. A
// file cut short or with corrupt entropy data is refused, although the
// library would only warn and fill in gray.
#include <cstdio>
// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstring>
#include <memory>
#include <vector>

#include "decode/format_decoders.h"
#include "decode/luminance.h"
#include "decode/orientation.h"

namespace {

struct JpegContext {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  std::string error;
  std::vector<uint8_t> row;
};

std::string MessageOf(j_common_ptr info) {
  char text[JMSG_LENGTH_MAX];
  (*info->err->format_message)(info, text);
  return text;
}

[[noreturn]] void OnError(j_common_ptr info) {
  auto* context = reinterpret_cast<JpegContext*>(info->err);
  context->error = MessageOf(info);
  std::longjmp(context->jump, 1);
}

// Warnings that mean the picture data is lost or wrong are errors here; the
// rest (stray bytes between markers, odd version numbers) are not.
void OnMessage(j_common_ptr info, int level) {
  if (level >= 0) return;
  const int code = info->err->msg_code;
  if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_MUST_RESYNC ||
      code == JWRN_HUFF_BAD_CODE || code == JWRN_NOT_SEQUENTIAL || code == JWRN_BOGUS_PROGRESSION) {
    OnError(info);
  }
}

}  // namespace

bool DecodeJpeg(std::FILE* file, const DecodeLimits& limits, DecodeResult& result) {
  // On the heap: a local changed after setjmp would be indeterminate after
  // the jump back.
  const auto holder = std::make_unique<JpegContext>();
  const auto info = std::make_unique<jpeg_decompress_struct>();
  JpegContext& context = *holder;
  info->err = jpeg_std_error(&context.manager);
  context.manager.error_exit = OnError;
  context.manager.emit_message = OnMessage;
  if (setjmp(context.jump)) {
    jpeg_destroy_decompress(info.get());
    return Fail(result, DecodeStatus::kDamaged, context.error);
  }
  jpeg_create_decompress(info.get());
  jpeg_stdio_src(info.get(), file);
  jpeg_save_markers(info.get(), JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(info.get(), TRUE);
  for (jpeg_saved_marker_ptr m = info->marker_list; m; m = m->next) {
    if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 &&
        std::memcmp(m->data, "Exif\0\0", 6) == 0) {
      result.orientation = ExifOrientation(m->data + 6, m->data_length - 6);
    }
  }
  // JFIF's density: unit 1 dots per inch, 2 per centimetre, 0 only a ratio.
  if (info->saw_JFIF_marker && (info->density_unit == 1 || info->density_unit == 2)) {
    const double unitsPerInch = info->density_unit == 1 ? 1 : 2.54;
    SetResolution(result, DotsPerInch(info->X_density, unitsPerInch),
                  DotsPerInch(info->Y_density, unitsPerInch));
  }
  const bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
  info->out_color_space = cmyk ? JCS_CMYK : JCS_GRAYSCALE;
  if (!AllocateImage(result, info->image_width, info->image_height, limits)) {
    jpeg_destroy_decompress(info.get());
    return false;
  }
  jpeg_start_decompress(info.get());
  const uint32_t width = info->output_width;
  context.row.resize(uint64_t{width} * info->output_components);
  JSAMPROW row = context.row.data();
  // Adobe writes CMYK inverted (0 is full ink); others write it plain.
  const bool inverted = info->saw_Adobe_marker;
  while (info->output_scanline < info->output_height) {
    uint8_t* out = result.image.Row(info->output_scanline);
    jpeg_read_scanlines(info.get(), &row, 1);
    if (!cmyk) {
      std::copy(row, row + width, out);
      continue;
    }
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* p = row + 4 * x;
      uint32_t c = p[0], m = p[1], y = p[2], k = p[3];
      if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
      out[x] = Luminance(c * k / 255, m * k / 255, y * k / 255);
    }
  }
  jpeg_finish_decompress(info.get());
  jpeg_destroy_decompress(info.get());
  return true;
}
