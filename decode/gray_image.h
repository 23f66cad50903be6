// A decoded picture as 8-bit luminance, one byte a pixel, top row first.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

// The first x from x on where row[x] is not zero, or end: runs of zero
// bytes (paper, in a mask) are passed eight at a time. Line drawings are
// mostly paper, and the full-picture passes spend their time there.
inline int64_t SkipZeros(const uint8_t* row, int64_t x, int64_t end) {
  while (x + 8 <= end) {
    uint64_t eight;
    std::memcpy(&eight, row + x, 8);
    if (eight != 0) break;
    x += 8;
  }
  while (x < end && row[x] == 0) ++x;
  return x;
}

// The row of a raster index without a division instruction, which the
// per-pixel loops would otherwise spend much of their time on: a multiply
// by the reciprocal, corrected by one either way.
struct RowFinder {
  int64_t width;
  double inverse;

  explicit RowFinder(int64_t w) : width(w), inverse(1.0 / static_cast<double>(w)) {}
  int64_t Row(uint64_t i) const {
    int64_t y = static_cast<int64_t>(static_cast<double>(i) * inverse);
    if (y * width > static_cast<int64_t>(i)) --y;
    if ((y + 1) * width <= static_cast<int64_t>(i)) ++y;
    return y;
  }
};

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
