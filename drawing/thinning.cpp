#include "drawing/thinning.h"

#include <array>
#include <bit>
#include <cstring>
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

constexpr std::array<uint8_t, 256> MakeCountTable() {
  std::array<uint8_t, 256> table{};
  for (int code = 0; code < 256; ++code)
    table[code] = static_cast<uint8_t>(std::popcount(unsigned(code)));
  return table;
}

constexpr std::array<uint8_t, 256> kCount = MakeCountTable();

constexpr uint8_t kInk = 1;
constexpr uint8_t kQueued = 2;   // waiting in the re-check queue
constexpr uint8_t kReached = 4;  // its level has come: it may be looked at
constexpr uint8_t kEdge = 8;     // on the picture's frame: neighbours off it are paper

}  // namespace

int NeighbourCount(uint8_t code) {
  return kCount[code];
}

uint8_t NeighbourCodeAtEdge(const GrayImage& mask, int64_t x, int64_t y) {
  uint8_t code = 0;
  for (int k = 0; k < 8; ++k) {
    const int64_t nx = x + kRingX[k], ny = y + kRingY[k];
    if (nx >= 0 && ny >= 0 && nx < mask.width && ny < mask.height && (mask.Row(ny)[nx] & kInk)) {
      code |= static_cast<uint8_t>(1 << k);
    }
  }
  return code;
}

int64_t FillNotchTips(GrayImage& mask) {
  int64_t filled = 0;
  for (int64_t y = 1; y + 1 < mask.height; ++y) {
    uint8_t* row = mask.Row(y);
    const uint8_t* above = mask.Row(y - 1);
    const uint8_t* below = mask.Row(y + 1);
    // A tip is paper just after an ink pixel: the paper between is passed
    // at once.
    for (int64_t x = SkipZeros(row, 0, mask.width); x + 2 < mask.width;
         x = SkipZeros(row, x + 1, mask.width)) {
      const int64_t c = x + 1;
      if (row[c] || !row[c + 1] || !above[c] || !below[c]) continue;
      const int corners = !above[c - 1] + !above[c + 1] + !below[c - 1] + !below[c + 1];
      if (corners == 1) {
        row[c] = 1;
        ++filled;
      }
    }
  }
  return filled;
}

bool ThinToSkeleton(GrayImage& mask, const uint8_t* distances) {
  const int64_t w = mask.width;
  uint8_t* m = mask.pixels.get();
  // Ink pixels sorted by band of rows, then by distance (a counting sort).
  // The levels go outside in within a band; the bands go top to bottom, so
  // that the pixels a level touches stay in the cache. Pixels on a band's
  // edge see the next band not yet peeled and may stay a little longer; they
  // are woken again when their neighbours go.
  const int64_t bandRows = std::max<int64_t>(16, (int64_t{1} << 19) / std::max<int64_t>(w, 1));
  const int64_t bands = (mask.height + bandRows - 1) / bandRows;
  std::vector<uint64_t> start(static_cast<size_t>(bands) * 256 + 1, 0);
  const int64_t height = mask.height;
  for (int64_t y = 0; y < height; ++y) {
    uint64_t* counts = &start[(y / bandRows) * 256 + 1];
    const uint8_t* row = m + y * w;
    for (int64_t x = SkipZeros(row, 0, w); x < w; x = SkipZeros(row, x + 1, w)) {
      ++counts[distances[y * w + x]];
    }
  }
  for (size_t k = 0; k + 1 < start.size(); ++k) start[k + 1] += start[k];
  std::unique_ptr<uint32_t[]> order(new (std::nothrow) uint32_t[start.back() + 1]);
  if (!order) return false;
  {
    std::vector<uint64_t> next(start.begin(), start.end() - 1);
    for (int64_t y = 0; y < height; ++y) {
      uint64_t* at = &next[(y / bandRows) * 256];
      const uint8_t* row = m + y * w;
      for (int64_t x = SkipZeros(row, 0, w); x < w; x = SkipZeros(row, x + 1, w)) {
        const int64_t i = y * w + x;
        order[at[distances[i]]++] = static_cast<uint32_t>(i);
      }
    }
  }
  // Each level is peeled side by side (north, south, east, west): a ridge
  // two pixels wide then loses one side, not both, and its end stays an
  // end. Deletions wake kept neighbours whose level has come: this one's,
  // the ones below, and in the bands above any level. The mark of that sits
  // in the mask byte beside the ink, which the neighbourhood code has just
  // read, rather than in the distances, which would be a second look.
  std::vector<uint32_t> work, next;
  std::array<std::vector<uint32_t>, 4> sides;
  constexpr int kSideBit[4] = {2, 6, 0, 4};  // N, S, E, W in the ring
  // The frame's pixels are marked, so that all others read their
  // neighbours straight from the index, with no row and column.
  const auto markEdge = [&](int64_t i) {
    if (m[i]) m[i] |= kEdge;
  };
  for (int64_t x = 0; x < w; ++x) markEdge(x), markEdge((height - 1) * w + x);
  for (int64_t y = 0; y < height; ++y) markEdge(y * w), markEdge(y * w + w - 1);
  const RowFinder rows(w);
  int64_t offset[8];
  for (int k = 0; k < 8; ++k) offset[k] = kRingY[k] * w + kRingX[k];
  const auto codeOf = [&](uint32_t i) {
    if (m[i] & kEdge) {
      const int64_t y = rows.Row(i);
      return NeighbourCodeAtEdge(mask, i - y * w, y);
    }
    uint8_t code = 0;
    for (int k = 0; k < 8; ++k) code |= static_cast<uint8_t>((m[i + offset[k]] & kInk) << k);
    return code;
  };
  const auto mayGo = [](uint8_t code) { return kCount[code] > 1 && kSimple[code]; };
  for (int64_t bucket = 1; bucket + 1 < static_cast<int64_t>(start.size()); ++bucket) {
    if (bucket % 256 == 0) continue;
    work.assign(order.get() + start[bucket], order.get() + start[bucket + 1]);
    for (uint32_t i : work) m[i] |= kReached;
    while (!work.empty()) {
      // One look at each pixel sorts those that may go by the first of the
      // sides (north, south, east, west) on which they touch paper; the
      // sides are then peeled in turn, each pixel checked again as it goes.
      // A pixel held back, or touching paper only later, has a neighbour
      // that went and is looked at again in the next round.
      for (std::vector<uint32_t>& bucket : sides) bucket.clear();
      for (uint32_t i : work) {
        if (!(m[i] & kInk)) continue;
        const uint8_t code = codeOf(i);
        if (!mayGo(code)) continue;
        for (int s = 0; s < 4; ++s) {
          if (!((code >> kSideBit[s]) & 1)) {
            sides[s].push_back(i);
            break;
          }
        }
      }
      next.clear();
      for (const std::vector<uint32_t>& bucket : sides) {
        for (uint32_t i : bucket) {
          const uint8_t code = codeOf(i);
          if (!mayGo(code)) continue;
          m[i] = 0;
          for (int k = 0; k < 8; ++k) {
            if (!((code >> k) & 1)) continue;
            const uint32_t j = static_cast<uint32_t>(i + offset[k]);
            if ((m[j] & (kReached | kQueued)) == kReached) {
              m[j] |= kQueued;
              next.push_back(j);
            }
          }
        }
      }
      // The next round: the neighbours of what went, once each.
      std::swap(work, next);
      for (uint32_t i : work) m[i] &= static_cast<uint8_t>(~kQueued);
    }
  }
  for (uint64_t k = 0; k < start.back(); ++k) m[order[k]] &= kInk;
  return true;
}
