#include "drawing/distance_map.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// The last x at or before x where row[x] is not zero, or -1; zeros are
// passed eight at a time.
int64_t LastNonZero(const uint8_t* row, int64_t x) {
  while (x >= 7) {
    uint64_t eight;
    std::memcpy(&eight, row + x - 7, 8);
    if (eight != 0) break;
    x -= 8;
  }
  while (x >= 0 && row[x] == 0) --x;
  return x;
}

}  // namespace

std::unique_ptr<uint8_t[]> ChamferDistances(const GrayImage& mask) {
  const int64_t w = mask.width, h = mask.height;
  std::unique_ptr<uint8_t[]> d(new (std::nothrow) uint8_t[w * h]);
  if (!d) return d;
  constexpr uint32_t kFar = 255;
  const auto at = [&](int64_t x, int64_t y) -> uint32_t {
    return x < 0 || y < 0 || x >= w || y >= h ? 0 : d[y * w + x];
  };
  // Forward: from the left and above; paper is 0.
  for (int64_t y = 0; y < h; ++y) {
    const uint8_t* m = mask.Row(y);
    uint8_t* row = d.get() + y * w;
    std::memset(row, 0, static_cast<size_t>(w));
    for (int64_t x = SkipZeros(m, 0, w); x < w; x = SkipZeros(m, x + 1, w)) {
      uint32_t v = kFar;
      if (x > 0 && y > 0 && x + 1 < w) {  // inside: no bounds to check
        const uint8_t* above = row - w;
        v = std::min(v, uint32_t{row[x - 1]} + kStraightStep);
        v = std::min(v, uint32_t{above[x]} + kStraightStep);
        v = std::min(v, uint32_t{above[x - 1]} + kDiagonalStep);
        v = std::min(v, uint32_t{above[x + 1]} + kDiagonalStep);
        row[x] = static_cast<uint8_t>(v);
        continue;
      }
      v = std::min(v, at(x - 1, y) + kStraightStep);
      v = std::min(v, at(x, y - 1) + kStraightStep);
      v = std::min(v, at(x - 1, y - 1) + kDiagonalStep);
      v = std::min(v, at(x + 1, y - 1) + kDiagonalStep);
      row[x] = static_cast<uint8_t>(v);
    }
  }
  // Backward: from the right and below.
  for (int64_t y = h - 1; y >= 0; --y) {
    uint8_t* row = d.get() + y * w;
    for (int64_t x = LastNonZero(row, w - 1); x >= 0; x = LastNonZero(row, x - 1)) {
      uint32_t v = row[x];
      if (x > 0 && x + 1 < w && y + 1 < h) {
        const uint8_t* below = row + w;
        v = std::min(v, uint32_t{row[x + 1]} + kStraightStep);
        v = std::min(v, uint32_t{below[x]} + kStraightStep);
        v = std::min(v, uint32_t{below[x + 1]} + kDiagonalStep);
        v = std::min(v, uint32_t{below[x - 1]} + kDiagonalStep);
        row[x] = static_cast<uint8_t>(v);
        continue;
      }
      v = std::min(v, at(x + 1, y) + kStraightStep);
      v = std::min(v, at(x, y + 1) + kStraightStep);
      v = std::min(v, at(x + 1, y + 1) + kDiagonalStep);
      v = std::min(v, at(x - 1, y + 1) + kDiagonalStep);
      row[x] = static_cast<uint8_t>(v);
    }
  }
  return d;
}
