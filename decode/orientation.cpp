#include "decode/orientation.h"

#include <algorithm>
#include <memory>
#include <new>

namespace {

// A little- or big-endian number of the EXIF block, or 0 past its end.
uint32_t Number(const uint8_t* data, size_t size, size_t at, int bytes, bool little) {
  if (at > size || size - at < static_cast<size_t>(bytes)) return 0;
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) {
    const uint32_t b = data[at + static_cast<size_t>(i)];
    value |= little ? b << (8 * i) : b << (8 * (bytes - 1 - i));
  }
  return value;
}

}  // namespace

int ExifOrientation(const uint8_t* data, size_t size) {
  if (size < 8) return 1;
  const bool little = data[0] == 'I' && data[1] == 'I';
  if (!little && !(data[0] == 'M' && data[1] == 'M')) return 1;
  if (Number(data, size, 2, 2, little) != 42) return 1;
  const size_t directory = Number(data, size, 4, 4, little);
  const uint32_t entries = Number(data, size, directory, 2, little);
  for (uint32_t i = 0; i < entries; ++i) {
    const size_t entry = directory + 2 + 12 * static_cast<size_t>(i);
    if (entry + 12 > size) break;
    if (Number(data, size, entry, 2, little) != 0x0112) continue;
    // A SHORT, its value at the start of the entry's value field.
    if (Number(data, size, entry + 2, 2, little) != 3) return 1;
    const int orientation = static_cast<int>(Number(data, size, entry + 8, 2, little));
    return orientation >= 1 && orientation <= 8 ? orientation : 1;
  }
  return 1;
}

bool Orient(GrayImage& image, int orientation) {
  const int64_t w = image.width, h = image.height;
  if (orientation == 2 || orientation == 3) {
    for (int64_t y = 0; y < h; ++y) std::reverse(image.Row(y), image.Row(y) + w);
  }
  if (orientation == 3 || orientation == 4) {
    for (int64_t y = 0; y < h / 2; ++y)
      std::swap_ranges(image.Row(y), image.Row(y) + w, image.Row(h - 1 - y));
  }
  if (orientation < 5 || orientation > 8) return true;
  // A quarter turn: the shown picture is h wide and w high; shown (x, y)
  // comes from the stored pixel below, walked in the shown order.
  std::unique_ptr<uint8_t[]> turned(new (std::nothrow) uint8_t[image.PixelCount()]);
  if (!turned) return false;
  // In tiles, so that the stored rows read across a tile stay in cache.
  constexpr int64_t kTile = 64;
  for (int64_t ty = 0; ty < w; ty += kTile) {
    for (int64_t tx = 0; tx < h; tx += kTile) {
      for (int64_t y = ty; y < std::min(w, ty + kTile); ++y) {
        for (int64_t x = tx; x < std::min(h, tx + kTile); ++x) {
          int64_t sx = y, sy = x;                // 5: transposed
          if (orientation == 6) sy = h - 1 - x;  // a quarter clockwise
          if (orientation == 7) sx = w - 1 - y, sy = h - 1 - x;
          if (orientation == 8) sx = w - 1 - y;  // a quarter anticlockwise
          turned[y * h + x] = image.pixels[sy * w + sx];
        }
      }
    }
  }
  image.pixels = std::move(turned);
  image.width = static_cast<int32_t>(h);
  image.height = static_cast<int32_t>(w);
  return true;
}
