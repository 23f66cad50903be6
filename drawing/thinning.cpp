#include "drawing/thinning.h"

#include <array>
#include <bit>
#include <new>
#include <vector>

namespace {

// Yokoi's connectivity number for 8-connected ink: the number of ink
// arcs around the pixel that a removal would separate. Simple when 1.
constexpr std::array<bool, 256> MakeSimpleTable() {
  std::array<bool, 256> table{};
  for (int code = 0; code < 256; ++code) {
    const auto paper = [&](int k) { return ((code >> (k % 8)) & 1) ? 0 : 1; };
    int arcs = 0;
    for (int k = 0; k < 8; k += 2) arcs += paper(k) - paper(k) * paper(k + 1) * paper(k + 2);
    table[code] = arcs == 1;
  }
  return table;
}

constexpr std::array<bool, 256> kSimple = MakeSimpleTable();

constexpr uint8_t kInk = 1;
constexpr uint8_t kQueued = 2;  // waiting in the re-check queue

}  // namespace

uint8_t NeighbourCode(const GrayImage& mask, int64_t x, int64_t y) {
  uint8_t code = 0;
  for (int k = 0; k < 8; ++k) {
    const int64_t nx = x + kRingX[k], ny = y + kRingY[k];
    if (nx >= 0 && ny >= 0 && nx < mask.width && ny < mask.height && (mask.Row(ny)[nx] & kInk)) {
      code |= static_cast<uint8_t>(1 << k);
    }
  }
  return code;
}

bool IsSimple(uint8_t code) {
  return kSimple[code];
}

bool ThinToSkeleton(GrayImage& mask, const uint8_t* distances) {
  const int64_t w = mask.width, total = static_cast<int64_t>(mask.PixelCount());
  uint8_t* m = mask.pixels.get();
  // Ink pixels sorted by distance (a counting sort: 256 levels).
  std::array<uint64_t, 257> start{};
  for (int64_t i = 0; i < total; ++i) {
    if (m[i]) ++start[distances[i] + 1];
  }
  for (int level = 0; level < 256; ++level) start[level + 1] += start[level];
  std::unique_ptr<uint32_t[]> order(new (std::nothrow) uint32_t[start[256] + 1]);
  if (!order) return false;
  {
    std::array<uint64_t, 256> next{};
    std::copy(start.begin(), start.end() - 1, next.begin());
    for (int64_t i = 0; i < total; ++i) {
      if (m[i]) order[next[distances[i]]++] = static_cast<uint32_t>(i);
    }
  }
  // Each level is peeled in four directional passes (north, south, east,
  // west sides), each deciding on the state at its start: a ridge two
  // pixels wide then loses one side, not both, and its end stays an end.
  // Deletions wake kept neighbours of this level or below for another look.
  std::vector<uint32_t> work, chosen;
  const auto removable = [&](uint32_t i, int side) {
    const uint8_t code = NeighbourCode(mask, i % w, i / w);
    return !((code >> side) & 1) && std::popcount(code) > 1 && kSimple[code];
  };
  for (int level = 1; level < 256; ++level) {
    work.assign(order.get() + start[level], order.get() + start[level + 1]);
    for (uint32_t i : work) m[i] |= kQueued;
    for (bool changed = true; changed;) {
      changed = false;
      for (int side : {2, 6, 0, 4}) {
        chosen.clear();
        for (uint32_t i : work) {
          if ((m[i] & kInk) && removable(i, side)) chosen.push_back(i);
        }
        for (uint32_t i : chosen) {
          const uint8_t code = NeighbourCode(mask, i % w, i / w);
          if (std::popcount(code) <= 1 || !kSimple[code]) continue;
          m[i] = 0;
          changed = true;
          for (int k = 0; k < 8; ++k) {
            if (!((code >> k) & 1)) continue;
            const uint32_t j = static_cast<uint32_t>((i / w + kRingY[k]) * w + i % w + kRingX[k]);
            if (distances[j] <= level && !(m[j] & kQueued)) {
              m[j] |= kQueued;
              work.push_back(j);
            }
          }
        }
      }
      std::erase_if(work, [&](uint32_t i) { return !(m[i] & kInk); });
    }
    for (uint32_t i : work) m[i] &= kInk;
  }
  return true;
}
