#include "drawing/distance_map.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "parallel/parts.h"

namespace {

constexpr uint32_t kFar = 255;

// Rows enough for any path from beyond them to cost kFar: a slice's pass
// that starts this many rows outside it, as if all beyond were far, is
// exact within the slice.
constexpr int64_t kWarmRows = kFar / kStraightStep + 1;

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

// A row of the forward pass, from the left and from `above` (nullptr: the
// picture's edge, which is paper). m: the mask's row.
void ForwardRow(const uint8_t* m, const uint8_t* above, uint8_t* row, int64_t w) {
  std::memset(row, 0, static_cast<size_t>(w));
  const auto up = [&](int64_t x) -> uint32_t { return above && x >= 0 && x < w ? above[x] : 0; };
  for (int64_t x = SkipZeros(m, 0, w); x < w; x = SkipZeros(m, x + 1, w)) {
    uint32_t v = kFar;
    if (above && x > 0 && x + 1 < w) {  // inside: no bounds to check
      v = std::min(v, uint32_t{row[x - 1]} + kStraightStep);
      v = std::min(v, uint32_t{above[x]} + kStraightStep);
      v = std::min(v, uint32_t{above[x - 1]} + kDiagonalStep);
      v = std::min(v, uint32_t{above[x + 1]} + kDiagonalStep);
    } else {
      v = std::min(v, (x > 0 ? uint32_t{row[x - 1]} : 0) + kStraightStep);
      v = std::min(v, up(x) + kStraightStep);
      v = std::min(v, up(x - 1) + kDiagonalStep);
      v = std::min(v, up(x + 1) + kDiagonalStep);
    }
    row[x] = static_cast<uint8_t>(v);
  }
}

// A row of the backward pass, over the forward one's values in place: from
// the right and from `below` (nullptr: the picture's edge).
void BackwardRow(uint8_t* row, const uint8_t* below, int64_t w) {
  const auto down = [&](int64_t x) -> uint32_t { return below && x >= 0 && x < w ? below[x] : 0; };
  for (int64_t x = LastNonZero(row, w - 1); x >= 0; x = LastNonZero(row, x - 1)) {
    uint32_t v = row[x];
    if (below && x > 0 && x + 1 < w) {
      v = std::min(v, uint32_t{row[x + 1]} + kStraightStep);
      v = std::min(v, uint32_t{below[x]} + kStraightStep);
      v = std::min(v, uint32_t{below[x + 1]} + kDiagonalStep);
      v = std::min(v, uint32_t{below[x - 1]} + kDiagonalStep);
    } else {
      v = std::min(v, (x + 1 < w ? uint32_t{row[x + 1]} : 0) + kStraightStep);
      v = std::min(v, down(x) + kStraightStep);
      v = std::min(v, down(x + 1) + kDiagonalStep);
      v = std::min(v, down(x - 1) + kDiagonalStep);
    }
    row[x] = static_cast<uint8_t>(v);
  }
}

}  // namespace

// On several threads the rows are cut into slices. Each slice's forward
// pass starts kWarmRows above it, as if all above were far (its own copy
// of those rows); each backward pass starts kWarmRows below it, on a copy
// of those rows' forward values taken before any backward pass begins.
// Both are exact within the slice, so the map is the same as on one
// thread, at the cost of 2 x kWarmRows rows a slice.
std::unique_ptr<uint8_t[]> ChamferDistances(const GrayImage& mask, int threads) {
  const int64_t w = mask.width, h = mask.height;
  std::unique_ptr<uint8_t[]> d(new (std::nothrow) uint8_t[w * h]);
  if (!d || w == 0 || h == 0) return d;
  const int64_t slices = std::clamp<int64_t>(threads, 1, std::max<int64_t>(1, h / (4 * kWarmRows)));
  const auto top = [&](int64_t s) { return PartStart(h, slices, s); };
  std::vector<std::vector<uint8_t>> warm(static_cast<size_t>(slices));
  const std::vector<uint8_t> far(static_cast<size_t>(w), kFar);  // beyond a slice's warm rows
  ForEachPart(slices, slices, static_cast<int>(slices), [&](int64_t s, int64_t, int64_t) {
    const int64_t y0 = top(s), y1 = top(s + 1), from = std::max<int64_t>(0, y0 - kWarmRows);
    std::vector<uint8_t> rows(static_cast<size_t>((y0 - from) * w));
    const uint8_t* above = from > 0 ? far.data() : nullptr;
    for (int64_t y = from; y < y0; ++y) {
      uint8_t* row = rows.data() + (y - from) * w;
      ForwardRow(mask.Row(y), above, row, w);
      above = row;
    }
    for (int64_t y = y0; y < y1; ++y) {
      ForwardRow(mask.Row(y), above, d.get() + y * w, w);
      above = d.get() + y * w;
    }
  });
  for (int64_t s = 0; s + 1 < slices; ++s) {
    const int64_t y1 = top(s + 1), to = std::min(h, y1 + kWarmRows);
    warm[static_cast<size_t>(s)].assign(d.get() + y1 * w, d.get() + to * w);
  }
  ForEachPart(slices, slices, static_cast<int>(slices), [&](int64_t s, int64_t, int64_t) {
    const int64_t y0 = top(s), y1 = top(s + 1);
    std::vector<uint8_t>& rows = warm[static_cast<size_t>(s)];
    const int64_t to = y1 + static_cast<int64_t>(rows.size()) / w;
    const uint8_t* below = to < h ? far.data() : nullptr;
    for (int64_t y = to - 1; y >= y1; --y) {
      uint8_t* row = rows.data() + (y - y1) * w;
      BackwardRow(row, below, w);
      below = row;
    }
    for (int64_t y = y1 - 1; y >= y0; --y) {
      BackwardRow(d.get() + y * w, below, w);
      below = d.get() + y * w;
    }
  });
  return d;
}
