#include "cli/mask_export.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

#include "cli/file_output.h"

namespace {

[[noreturn]] void OnError(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

bool WritePng(std::FILE* file, const GrayImage& mask) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  // On the heap: a local changed after setjmp would be indeterminate after
  // the jump back.
  const auto row = std::make_unique<std::vector<uint8_t>>((mask.width + 7) / 8);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, mask.width, mask.height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int32_t y = 0; y < mask.height; ++y) {
    const uint8_t* in = mask.Row(y);
    std::fill(row->begin(), row->end(), 0xFF);  // white paper, bit 1
    for (int32_t x = 0; x < mask.width; ++x) {
      if (in[x]) (*row)[x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
    }
    png_write_row(png, row->data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool WriteMaskPng(const std::string& path, const GrayImage& mask) {
  return WriteReplacing(path, [&](std::FILE* file) { return WritePng(file, mask); });
}
