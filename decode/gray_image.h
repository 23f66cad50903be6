// A decoded picture as 8-bit luminance, one byte a pixel, top row first.
#pragma once

#include <cstdint>
#include <memory>

struct GrayImage {
  int32_t width = 0;
  int32_t height = 0;
  std::unique_ptr<uint8_t[]> pixels;

  uint8_t* Row(int64_t y) { return pixels.get() + y * width; }
  const uint8_t* Row(int64_t y) const { return pixels.get() + y * width; }
  uint64_t PixelCount() const {
    return static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  }
};
