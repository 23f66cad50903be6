#include "drawing/thinning.h"

#include <array>
#include <bit>
#include <cstring>
#include <new>
#include <vector>

#include "drawing/corner_touch.h"
#include "drawing/distance_map.h"
#include "parallel/parts.h"

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

namespace {

// The thinning's shared state: the mask, its ink pixels sorted by band of
// rows and distance, and how to read a pixel's neighbours.
struct Peeling {
  GrayImage& mask;
  uint8_t* m;
  int64_t w;
  int64_t bandRows;
  std::vector<uint64_t> start;  // band b, level l: order[start[256 b + l], start[256 b + l + 1])
  std::unique_ptr<uint32_t[]> order;
  int64_t offset[8];
  RowFinder rows;

  // The neighbours pixel i is linked to: lines that only touch at a corner
  // are not.
  uint8_t CodeOf(uint32_t i) const {
    uint8_t code = 0;
    if (m[i] & kEdge) {
      const int64_t y = rows.Row(i);
      code = NeighbourCodeAtEdge(mask, i - y * w, y);
    } else {
      for (int k = 0; k < 8; ++k) code |= static_cast<uint8_t>((m[i + offset[k]] & kInk) << k);
    }
    return code & static_cast<uint8_t>(~TouchLinks(m[i]));
  }
};

bool MayGo(uint8_t code) {
  return kCount[code] > 1 && kSimple[code];
}

// Peels the pixels of band b at one level. The level is peeled side by
// side (north, south, east, west): a ridge two pixels wide then loses one
// side, not both, and its end stays an end. Deletions wake kept neighbours
// whose level has come: this one's and those below, in this band or the
// bands either side within `reach` rows of it (the mark of that sits in the
// mask byte beside the ink, which the neighbourhood code has just read,
// rather than in the distances, which would be a second look). Touches no
// pixel farther than reach + 1 rows from the band.
void PeelBand(Peeling& p, int64_t b, int64_t level, int64_t reach) {
  constexpr int kSideBit[4] = {2, 6, 0, 4};  // N, S, E, W in the ring
  uint8_t* m = p.m;
  const int64_t first = std::max<int64_t>(0, b * p.bandRows - reach) * p.w;
  const int64_t last = std::min<int64_t>(p.mask.height, (b + 1) * p.bandRows + reach) * p.w;
  const uint64_t* at = &p.start[static_cast<size_t>(b * 256 + level)];
  if (at[0] == at[1]) return;
  std::vector<uint32_t> work(p.order.get() + at[0], p.order.get() + at[1]), next;
  std::array<std::vector<uint32_t>, 4> sides;
  for (uint32_t i : work) m[i] |= kReached;
  while (!work.empty()) {
    // One look at each pixel sorts those that may go by the first of the
    // sides (north, south, east, west) on which they touch paper; the
    // sides are then peeled in turn, each pixel checked again as it goes.
    // A pixel held back, or touching paper only later, has a neighbour
    // that went and is looked at again in the next round.
    for (std::vector<uint32_t>& side : sides) side.clear();
    for (uint32_t i : work) {
      if (!(m[i] & kInk)) continue;
      const uint8_t code = p.CodeOf(i);
      if (!MayGo(code)) continue;
      for (int s = 0; s < 4; ++s) {
        if (!((code >> kSideBit[s]) & 1)) {
          sides[s].push_back(i);
          break;
        }
      }
    }
    next.clear();
    for (const std::vector<uint32_t>& side : sides) {
      for (uint32_t i : side) {
        const uint8_t code = p.CodeOf(i);
        if (!MayGo(code)) continue;
        m[i] = 0;
        for (int k = 0; k < 8; ++k) {
          if (!((code >> k) & 1)) continue;
          const int64_t j = i + p.offset[k];
          if ((m[j] & (kReached | kQueued)) == kReached && j >= first && j < last) {
            m[j] |= kQueued;
            next.push_back(static_cast<uint32_t>(j));
          }
        }
      }
    }
    // The next round: the neighbours of what went, once each.
    std::swap(work, next);
    for (uint32_t i : work) m[i] &= static_cast<uint8_t>(~kQueued);
  }
}

}  // namespace

bool ThinToSkeleton(GrayImage& mask, const uint8_t* distances, int threads) {
  // Lines that only touch at a corner are thinned as two.
  MarkCornerTouches(mask, distances, threads);
  const int64_t w = mask.width;
  uint8_t* m = mask.pixels.get();
  // Ink pixels sorted by band of rows, then by distance (a counting sort).
  // The levels go outside in over the whole picture, each level band by
  // band: the even bands, then the odd ones, so that the bands peeled at
  // once lie a band apart and threads can take them side by side, with the
  // same result on one thread as on many. (Peeling each band through all
  // its levels before the next kept a band in the cache, but a band's edge
  // then met the next band's ink not yet peeled, or already thinned, and
  // thick strokes crossing it were thinned off their middles: the lettering
  // with a 14 px pen had a p95 of 1.23 px, now 0.45 px, for about a tenth
  // more time on the A4 page.) A deletion wakes neighbours in the bands
  // either side within half a band, which keeps two bands peeled at once
  // from touching the same pixels.
  const int64_t bandRows = std::max<int64_t>(16, (int64_t{1} << 19) / std::max<int64_t>(w, 1));
  const int64_t bands = (mask.height + bandRows - 1) / bandRows;
  Peeling p{mask,
            m,
            w,
            bandRows,
            std::vector<uint64_t>(static_cast<size_t>(bands) * 256 + 1, 0),
            nullptr,
            {},
            RowFinder(w)};
  std::vector<uint64_t>& start = p.start;
  const int64_t height = mask.height;
  // Each band counts and places its own pixels: the bands share out.
  const auto rowsOf = [&](int64_t band) {
    return std::pair{band * bandRows, std::min(height, (band + 1) * bandRows)};
  };
  ForEachPart(bands, bands, threads, [&](int64_t band, int64_t, int64_t) {
    uint64_t* counts = &start[band * 256 + 1];
    const auto [top, bottom] = rowsOf(band);
    for (int64_t y = top; y < bottom; ++y) {
      const uint8_t* row = m + y * w;
      for (int64_t x = SkipZeros(row, 0, w); x < w; x = SkipZeros(row, x + 1, w)) {
        ++counts[distances[y * w + x]];
      }
    }
  });
  for (size_t k = 0; k + 1 < start.size(); ++k) start[k + 1] += start[k];
  p.order.reset(new (std::nothrow) uint32_t[start.back() + 1]);
  if (!p.order) return false;
  ForEachPart(bands, bands, threads, [&](int64_t band, int64_t, int64_t) {
    uint64_t at[256];
    std::copy(&start[band * 256], &start[band * 256 + 256], at);
    const auto [top, bottom] = rowsOf(band);
    for (int64_t y = top; y < bottom; ++y) {
      const uint8_t* row = m + y * w;
      for (int64_t x = SkipZeros(row, 0, w); x < w; x = SkipZeros(row, x + 1, w)) {
        const int64_t i = y * w + x;
        p.order[at[distances[i]]++] = static_cast<uint32_t>(i);
      }
    }
  });
  // The frame's pixels are marked, so that all others read their
  // neighbours straight from the index, with no row and column.
  const auto markEdge = [&](int64_t i) {
    if (m[i]) m[i] |= kEdge;
  };
  for (int64_t x = 0; x < w; ++x) markEdge(x), markEdge((height - 1) * w + x);
  for (int64_t y = 0; y < height; ++y) markEdge(y * w), markEdge(y * w + w - 1);
  for (int k = 0; k < 8; ++k) p.offset[k] = kRingY[k] * w + kRingX[k];
  // A band peeled touches its own rows and `reach` + 1 either side; the
  // next band peeled at once begins bandRows beyond its end.
  const int64_t reach = bandRows / 2 - 1;
  for (int64_t level = 1; level < 256; ++level) {
    bool any = false;
    for (int64_t b = 0; b < bands && !any; ++b)
      any = start[b * 256 + level] < start[b * 256 + level + 1];
    if (!any) continue;
    for (int64_t parity = 0; parity < 2; ++parity) {
      const int64_t count = (bands - parity + 1) / 2;
      ForEachPart(count, count, threads,
                  [&](int64_t k, int64_t, int64_t) { PeelBand(p, 2 * k + parity, level, reach); });
    }
  }
  for (uint64_t k = 0; k < start.back(); ++k) m[p.order[k]] &= kInk | kTouchBits;
  return true;
}
