#include "drawing/corner_touch.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <utility>
#include <vector>

#include "drawing/distance_map.h"
#include "drawing/thinning.h"
#include "parallel/parts.h"

namespace {

// Per code: the diagonal neighbours whose two side neighbours beside the
// link are not in the code.
constexpr std::array<uint8_t, 256> kBareCorners = [] {
  std::array<uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    for (int k = 1; k < 8; k += 2) {
      if ((c >> k & 1) && !(c >> (k - 1) & 1) && !(c >> ((k + 1) % 8) & 1)) t[c] |= 1 << k;
    }
  }
  return t;
}();

// Whether ring neighbours a and b lie 135 degrees apart or more, as seen
// from the middle pixel: a line may run through it by them.
constexpr bool Opposite(int a, int b) {
  const int dot = kRingX[a] * kRingX[b] + kRingY[a] * kRingY[b];
  const int la = kRingX[a] * kRingX[a] + kRingY[a] * kRingY[a];
  const int lb = kRingX[b] * kRingX[b] + kRingY[b] * kRingY[b];
  return dot < 0 && 2 * dot * dot >= la * lb;
}

// Per code: whether a line runs through the middle pixel, two of its
// pixels lying opposite.
constexpr std::array<bool, 256> kThrough = [] {
  std::array<bool, 256> t{};
  for (int c = 0; c < 256; ++c) {
    for (int a = 0; a < 8; ++a) {
      for (int b = a + 1; b < 8; ++b) {
        if ((c >> a & 1) && (c >> b & 1) && Opposite(a, b)) t[c] = true;
      }
    }
  }
  return t;
}();

struct Pixel {
  int64_t x, y;
};

// The ink, in the mask (bit 0) and the distances (nonzero), and the marks
// so far (the mask's bits 4 to 7).
struct Ink {
  const GrayImage& mask;  // bit 0 the ink, bits 4 to 7 the marks
  const uint8_t* distances;
  int64_t w, h;

  bool At(int64_t x, int64_t y) const {
    return x >= 0 && y >= 0 && x < w && y < h && distances[y * w + x] != 0;
  }
  uint8_t Code(Pixel p) const { return NeighbourCode(mask, p.x, p.y); }
  // The surest touches marked at p, as ring bits.
  uint8_t Marked(Pixel p) const { return TouchLinks(mask.Row(p.y)[p.x]); }
};

int64_t Distance2(Pixel a, Pixel b) {
  return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y);
}

// The grain of the ink around a diagonal link from p by (dx, dy): the ink
// within five pixels of either end. 144 pixels.
struct Grain {
  bool oneWay;  // it spreads three times as far along its main axis as
                // across it: as lines side by side do; not where lines
                // cross at 60 degrees or more, nor round a small ring
  bool across;  // the link lies more than 45 degrees off that axis; each
                // line's own steps run along it
};

Grain GrainAt(const Ink& ink, Pixel p, int64_t dx, int64_t dy) {
  const int64_t left = std::min(p.x, p.x + dx) - 5, top = std::min(p.y, p.y + dy) - 5;
  // Moments in whole numbers, of offsets from the window's corner.
  int64_t n = 0, sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
  const bool inside = left >= 0 && top >= 0 && left + 12 <= ink.w && top + 12 <= ink.h;
  for (int64_t y = 0; y < 12; ++y) {
    for (int64_t x = 0; x < 12; ++x) {
      const bool here =
          inside ? ink.distances[(top + y) * ink.w + left + x] != 0 : ink.At(left + x, top + y);
      if (!here) continue;
      n += 1, sx += x, sy += y, sxx += x * x, syy += y * y, sxy += x * y;
    }
  }
  // n^2 times the covariances.
  const int64_t cxx = n * sxx - sx * sx, cyy = n * syy - sy * sy, cxy = n * sxy - sx * sy;
  // The larger eigenvalue is three times the smaller or more when the root
  // of the discriminant is half their mean or more: 3 (cxx + cyy)^2 >= 16
  // (cxx cyy - cxy^2).
  const double sum = static_cast<double>(cxx + cyy);
  const double det = static_cast<double>(cxx) * static_cast<double>(cyy) -
                     static_cast<double>(cxy) * static_cast<double>(cxy);
  // The spread along (1, 1) less that along (1, -1) is twice the covariance.
  return {3 * sum * sum >= 16 * det, cxy * dx * dy < 0};
}

// Whether p's corner link in ring direction k (p's ink code `code`) is
// a surest touch: both ends lie on lines through them (without the link),
// and it runs across the ink's grain.
bool GrainTouch(const Ink& ink, Pixel p, uint8_t code, int k) {
  const uint8_t bit = static_cast<uint8_t>(1 << k);
  if (!(kBareCorners[code] & bit) || !kThrough[code & ~bit]) return false;
  const Pixel q{p.x + kRingX[k], p.y + kRingY[k]};
  if (!kThrough[ink.Code(q) & ~(1 << ((k + 4) % 8))]) return false;
  const Grain grain = GrainAt(ink, p, kRingX[k], kRingY[k]);
  return grain.oneWay && grain.across;
}

// Where the ink leads from `from`: of the pixels up to four steps along
// it, each step farther from `away` (never through `skip` or `skip2`, nor
// across a surest touch), the one farthest from `away`. Where a line
// leads from `from`, four pixels down it, past a cap's dead end, and not
// on a line it touches. `straight`: whether every pixel on the way lies
// within a pixel of the line from `from` to it (not round a small ring).
Pixel WalkAway(const Ink& ink, Pixel from, Pixel away, Pixel skip, Pixel skip2,
               bool* straight = nullptr) {
  constexpr int kMost = 48;  // four steps of a line, and a little ink about it
  Pixel seen[kMost] = {from};
  int parent[kMost] = {-1}, depth[kMost] = {0};
  int count = 1, best = 0;
  for (int i = 0; i < count; ++i) {
    if (depth[i] == 4) continue;
    const uint8_t code = ink.Code(seen[i]) & ~ink.Marked(seen[i]);
    for (int k = 0; k < 8 && count < kMost; ++k) {
      const Pixel n{seen[i].x + kRingX[k], seen[i].y + kRingY[k]};
      if (!(code >> k & 1) || (n.x == skip.x && n.y == skip.y) ||
          (n.x == skip2.x && n.y == skip2.y) || Distance2(n, away) <= Distance2(seen[i], away)) {
        continue;
      }
      bool known = false;
      for (int j = 0; j < count && !known; ++j) known = seen[j].x == n.x && seen[j].y == n.y;
      if (known) continue;
      seen[count] = n, parent[count] = i, depth[count] = depth[i] + 1;
      if (Distance2(n, away) > Distance2(seen[best], away)) best = count;
      ++count;
    }
  }
  const Pixel end = seen[best];
  if (straight) {
    const int64_t cx = end.x - from.x, cy = end.y - from.y;
    *straight = true;
    for (int i = parent[best]; i > 0; i = parent[i]) {
      const int64_t off = (seen[i].x - from.x) * cy - (seen[i].y - from.y) * cx;
      *straight = *straight && off * off <= cx * cx + cy * cy;
    }
  }
  return end;
}

// Whether two directions lie within 30 degrees of each other (`either`:
// or of each other's opposite).
bool Alongside(int64_t ax, int64_t ay, int64_t bx, int64_t by, bool either) {
  const double dot = static_cast<double>(ax * bx + ay * by);
  const double lengths = std::sqrt(static_cast<double>((ax * ax + ay * ay) * (bx * bx + by * by)));
  return lengths > 0 && (either ? std::fabs(dot) : dot) >= 0.866 * lengths;
}

// Whether the link (lx, ly) lies more than 45 degrees off the direction
// (dx, dy), either way.
bool Across(int64_t lx, int64_t ly, int64_t dx, int64_t dy) {
  const int64_t along = lx * dx + ly * dy;
  return 2 * along * along < (lx * lx + ly * ly) * (dx * dx + dy * dy);
}

// The direction of the line through `at`, from four pixels down either
// side of it (`code`: its neighbours but the link's other end, `skip`);
// false where no two of its neighbours lie 135 degrees apart or more.
bool LineThrough(const Ink& ink, Pixel at, uint8_t code, Pixel skip, int64_t& dx, int64_t& dy) {
  for (int a = 0; a < 8; ++a) {
    for (int b = a + 1; b < 8; ++b) {
      if (!(code >> a & 1) || !(code >> b & 1) || !Opposite(a, b)) continue;
      const Pixel one = WalkAway(ink, {at.x + kRingX[a], at.y + kRingY[a]}, at, at, skip);
      const Pixel two = WalkAway(ink, {at.x + kRingX[b], at.y + kRingY[b]}, at, at, skip);
      dx = one.x - two.x, dy = one.y - two.y;
      return true;
    }
  }
  return false;
}

// Whether a corner link whose ends' other neighbours are pCode and qCode
// may be a touch where a line ends, before the walks: both on lines
// through them is the grain's to say; an end with no other neighbour is
// a speck's; a line's own step has its two neighbours on opposite sides.
bool MayEndTouch(uint8_t pCode, uint8_t qCode) {
  if ((kThrough[pCode] && kThrough[qCode]) || pCode == 0 || qCode == 0) return false;
  if (std::popcount(pCode) == 1 && std::popcount(qCode) == 1) {
    const int a = std::countr_zero(pCode), b = std::countr_zero(qCode);
    if (kRingX[a] * kRingX[b] + kRingY[a] * kRingY[b] < 0) return false;
  }
  return true;
}

// Whether the corner link from p (ink code pInk) in ring direction k, no
// surest touch, is a touch where a line ends. The surest touches of each
// end are set aside first (a line's pixel touching another seems to go on
// along it), and the ink about the link must run one way. Where one end
// lies on a line through it and the other does not (a line's last pixel,
// or one beside it on the cap): the link crosses that line, and the
// ending line, four pixels back and straight, runs within 30 degrees of
// it. Where neither does: both lines run back the same way, straight,
// side by side (a line's own step has them the opposite way).
bool EndTouch(const Ink& ink, Pixel p, uint8_t pInk, int k) {
  const Pixel q{p.x + kRingX[k], p.y + kRingY[k]};
  const uint8_t qInk = ink.Code(q);
  const uint8_t there = static_cast<uint8_t>(1 << k),
                back = static_cast<uint8_t>(1 << ((k + 4) % 8));
  uint8_t pCode = pInk & ~there, qCode = qInk & ~back;
  if (!MayEndTouch(pCode, qCode)) return false;
  pCode &= ~ink.Marked(p);
  qCode &= ~ink.Marked(q);
  if (!MayEndTouch(pCode, qCode)) return false;
  // Side by side, the ink runs one way (round a small ring, or where a
  // line ends on a thick one, it would not).
  if (!GrainAt(ink, p, kRingX[k], kRingY[k]).oneWay) return false;
  if (kThrough[pCode] != kThrough[qCode]) {
    // One lies on a line through it, the other ends its line there (its
    // last pixel, or one beside it on the cap).
    const bool pEnds = !kThrough[pCode];
    const Pixel end = pEnds ? p : q, side = pEnds ? q : p;
    int64_t dx = 0, dy = 0;
    LineThrough(ink, side, pEnds ? qCode : pCode, end, dx, dy);
    // The link crosses that line, and the ending one, more than 45
    // degrees off each: along either, it is a line's own step (into a
    // crossing at a narrow angle, the ending line's).
    const int64_t lx = end.x - side.x, ly = end.y - side.y;
    if (!Across(lx, ly, dx, dy)) return false;
    bool straight;
    const Pixel behind = WalkAway(ink, end, end, side, side, &straight);
    return straight && Across(lx, ly, end.x - behind.x, end.y - behind.y) &&
           Alongside(end.x - behind.x, end.y - behind.y, dx, dy, true);
  }
  // Both end their lines here, and the link crosses both.
  bool pStraight, qStraight;
  const Pixel pEnd = WalkAway(ink, p, p, q, q, &pStraight);
  const Pixel qEnd = WalkAway(ink, q, q, p, p, &qStraight);
  return pStraight && qStraight && Across(kRingX[k], kRingY[k], p.x - pEnd.x, p.y - pEnd.y) &&
         Across(kRingX[k], kRingY[k], q.x - qEnd.x, q.y - qEnd.y) &&
         Alongside(p.x - pEnd.x, p.y - pEnd.y, q.x - qEnd.x, q.y - qEnd.y, false);
}

// Ring bits (1, 3, 5, 7) as mask bits.
uint8_t AsMarks(uint8_t ring) {
  return static_cast<uint8_t>(
      ((ring >> 1 & 1) | (ring >> 2 & 2) | (ring >> 3 & 4) | (ring >> 4 & 8)) << kTouchShift);
}

// The links each is looked at from: south-west and south-east.
constexpr int kDown[2] = {5, 7};
constexpr uint8_t kDownBits = 1 << 5 | 1 << 7;

// Calls f(p, code) for each ink pixel beside paper (at a straight step's
// distance) with a bare corner link down, rows [top, bottom).
template <class F>
void ForEachBareCorner(const GrayImage& mask, const uint8_t* distances, int64_t top, int64_t bottom,
                       F f) {
  const int64_t w = mask.width;
  for (int64_t y = top; y < bottom; ++y) {
    const uint8_t* row = mask.Row(y);
    for (int64_t x = SkipZeros(row, 0, w); x < w; x = SkipZeros(row, x + 1, w)) {
      if (distances[y * w + x] != kStraightStep) continue;
      const uint8_t code = NeighbourCode(mask, x, y);
      if (kBareCorners[code] & kDownBits) f(Pixel{x, y}, code);
    }
  }
}

}  // namespace

void MarkCornerTouches(GrayImage& mask, const uint8_t* distances, int threads) {
  const Ink ink{mask, distances, mask.width, mask.height};
  uint8_t* m = mask.pixels.get();
  const int64_t w = mask.width,
                parts = std::max<int64_t>(1, std::min<int64_t>(mask.height, 8 * threads));
  // Each link is looked at once, from its upper pixel (the rules are the
  // same seen from either end), and the touches found are marked at both
  // ends once all are found: what each finds never depends on another's
  // marks of the same kind.
  std::vector<std::vector<std::pair<int64_t, int>>> found(static_cast<size_t>(parts));
  const auto mark = [&] {
    for (auto& list : found) {
      for (const auto& [i, k] : list) {
        m[i] |= AsMarks(static_cast<uint8_t>(1 << k));
        m[i + kRingY[k] * w + kRingX[k]] |= AsMarks(static_cast<uint8_t>(1 << ((k + 4) % 8)));
      }
      list.clear();
    }
  };
  // The surest first, from the ink alone; the links that may yet be
  // touches where lines end are kept for the second look, on those marks
  // (index * 8 + direction).
  std::vector<std::vector<uint64_t>> maybe(static_cast<size_t>(parts));
  ForEachPart(mask.height, parts, threads, [&](int64_t part, int64_t top, int64_t bottom) {
    ForEachBareCorner(mask, distances, top, bottom, [&](Pixel p, uint8_t code) {
      const int64_t i = p.y * w + p.x;
      for (const int k : kDown) {
        if (!(kBareCorners[code] & 1 << k)) continue;
        if (GrainTouch(ink, p, code, k)) {
          found[static_cast<size_t>(part)].push_back({i, k});
        } else if (MayEndTouch(code & ~(1 << k), ink.Code({p.x + kRingX[k], p.y + kRingY[k]}) &
                                                     ~(1 << ((k + 4) % 8)))) {
          maybe[static_cast<size_t>(part)].push_back(static_cast<uint64_t>(i) * 8 + k);
        }
      }
    });
  });
  mark();
  ForEachPart(parts, parts, threads, [&](int64_t part, int64_t, int64_t) {
    for (const uint64_t link : maybe[static_cast<size_t>(part)]) {
      const int64_t i = static_cast<int64_t>(link / 8);
      const int k = static_cast<int>(link % 8);
      const Pixel p{i % w, i / w};
      if (!(ink.Marked(p) & 1 << k) && EndTouch(ink, p, ink.Code(p), k)) {
        found[static_cast<size_t>(part)].push_back({i, k});
      }
    }
  });
  mark();
}
