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

// Per code: whether a line runs through the middle pixel, two of its
// pixels lying 135 degrees apart or more as seen from it.
constexpr std::array<bool, 256> kThrough = [] {
  std::array<bool, 256> t{};
  for (int c = 0; c < 256; ++c) {
    for (int a = 0; a < 8; ++a) {
      for (int b = a + 1; b < 8; ++b) {
        const int dot = kRingX[a] * kRingX[b] + kRingY[a] * kRingY[b];
        const int la = kRingX[a] * kRingX[a] + kRingY[a] * kRingY[a];
        const int lb = kRingX[b] * kRingX[b] + kRingY[b] * kRingY[b];
        if ((c >> a & 1) && (c >> b & 1) && dot < 0 && 2 * dot * dot >= la * lb) t[c] = true;
      }
    }
  }
  return t;
}();

struct Pixel {
  int64_t x, y;
};

// The ink as the distances hold it, and the marks so far.
struct Ink {
  const uint8_t* distances;
  const uint8_t* marks;
  int64_t w, h;

  bool At(int64_t x, int64_t y) const {
    return x >= 0 && y >= 0 && x < w && y < h && distances[y * w + x] != 0;
  }
  uint8_t Code(Pixel p) const {
    uint8_t code = 0;
    for (int k = 0; k < 8; ++k) {
      if (At(p.x + kRingX[k], p.y + kRingY[k])) code |= static_cast<uint8_t>(1 << k);
    }
    return code;
  }
  // The surest touches marked at p, as ring bits.
  uint8_t Marked(Pixel p) const { return TouchLinks(marks[p.y * w + p.x]); }
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
    const uint8_t* row = ink.distances + (top + y) * ink.w + left;
    for (int64_t x = 0; x < 12; ++x) {
      if (inside ? row[x] == 0 : !ink.At(left + x, top + y)) continue;
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

// The direction of the line through `at`, from four pixels down either
// side of it (`code`: its neighbours but the link's other end, `skip`);
// false where no two of its neighbours lie 135 degrees apart or more.
bool LineThrough(const Ink& ink, Pixel at, uint8_t code, Pixel skip, int64_t& dx, int64_t& dy) {
  for (int a = 0; a < 8; ++a) {
    for (int b = a + 1; b < 8; ++b) {
      if (!(code >> a & 1) || !(code >> b & 1)) continue;
      const int dot = kRingX[a] * kRingX[b] + kRingY[a] * kRingY[b];
      const int la = kRingX[a] * kRingX[a] + kRingY[a] * kRingY[a];
      const int lb = kRingX[b] * kRingX[b] + kRingY[b] * kRingY[b];
      if (dot >= 0 || 2 * dot * dot < la * lb) continue;  // under 135 degrees apart
      const Pixel one = WalkAway(ink, {at.x + kRingX[a], at.y + kRingY[a]}, at, at, skip);
      const Pixel two = WalkAway(ink, {at.x + kRingX[b], at.y + kRingY[b]}, at, at, skip);
      dx = one.x - two.x, dy = one.y - two.y;
      return true;
    }
  }
  return false;
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
  if (kThrough[pCode] && kThrough[qCode]) return false;  // the grain's
  pCode &= ~ink.Marked(p);
  qCode &= ~ink.Marked(q);
  if (pCode == 0 || qCode == 0) return false;
  if (std::popcount(pCode) == 1 && std::popcount(qCode) == 1) {
    // A line's own step: its neighbours lie on opposite sides, at once.
    const int a = std::countr_zero(pCode), b = std::countr_zero(qCode);
    if (kRingX[a] * kRingX[b] + kRingY[a] * kRingY[b] < 0) return false;
  }
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
    // More than 45 degrees off that line: along it, the link is the
    // line's own step.
    const int64_t lx = end.x - side.x, ly = end.y - side.y;
    const int64_t along = lx * dx + ly * dy;
    if (2 * along * along >= (lx * lx + ly * ly) * (dx * dx + dy * dy)) return false;
    bool straight;
    const Pixel behind = WalkAway(ink, end, end, side, side, &straight);
    return straight && Alongside(end.x - behind.x, end.y - behind.y, dx, dy, true);
  }
  // Both end their lines here.
  bool pStraight, qStraight;
  const Pixel pEnd = WalkAway(ink, p, p, q, q, &pStraight);
  const Pixel qEnd = WalkAway(ink, q, q, p, p, &qStraight);
  return pStraight && qStraight &&
         Alongside(p.x - pEnd.x, p.y - pEnd.y, q.x - qEnd.x, q.y - qEnd.y, false);
}

// Ring bits (1, 3, 5, 7) as mask bits.
uint8_t AsMarks(uint8_t ring) {
  return static_cast<uint8_t>(
      ((ring >> 1 & 1) | (ring >> 2 & 2) | (ring >> 3 & 4) | (ring >> 4 & 8)) << kTouchShift);
}

// Calls f(p, code) for each ink pixel beside paper (at a straight step's
// distance) with a bare corner link, rows [top, bottom).
template <class F>
void ForEachBareCorner(const Ink& ink, const GrayImage& mask, int64_t top, int64_t bottom, F f) {
  for (int64_t y = top; y < bottom; ++y) {
    const uint8_t* row = mask.Row(y);
    for (int64_t x = SkipZeros(row, 0, ink.w); x < ink.w; x = SkipZeros(row, x + 1, ink.w)) {
      if (ink.distances[y * ink.w + x] != kStraightStep) continue;
      const uint8_t code = ink.Code({x, y});
      if (kBareCorners[code] != 0) f(Pixel{x, y}, code);
    }
  }
}

}  // namespace

void MarkCornerTouches(GrayImage& mask, const uint8_t* distances, int threads) {
  const Ink ink{distances, mask.pixels.get(), mask.width, mask.height};
  uint8_t* m = mask.pixels.get();
  const int64_t w = mask.width,
                parts = std::max<int64_t>(1, std::min<int64_t>(mask.height, 8 * threads));
  // Each link once, from its upper pixel (south-west and south-east; the
  // rules are the same seen from either end), then marked at the lower.
  constexpr int kDown[2] = {5, 7};
  const auto mirror = [&] {
    ForEachPart(mask.height, parts, threads, [&](int64_t, int64_t top, int64_t bottom) {
      for (int64_t y = std::max<int64_t>(top, 1); y < bottom; ++y) {
        for (int64_t x = 0; x < w; ++x) {
          uint8_t& byte = m[y * w + x];
          if (!(byte & 1)) continue;
          const uint8_t up = static_cast<uint8_t>(
              (x + 1 < w && (TouchLinks(m[(y - 1) * w + x + 1]) & 1 << 5) ? 1 << 1 : 0) |
              (x > 0 && (TouchLinks(m[(y - 1) * w + x - 1]) & 1 << 7) ? 1 << 3 : 0));
          byte |= AsMarks(up);
        }
      }
    });
  };
  // The surest first, from the ink alone.
  ForEachPart(mask.height, parts, threads, [&](int64_t, int64_t top, int64_t bottom) {
    ForEachBareCorner(ink, mask, top, bottom, [&](Pixel p, uint8_t code) {
      uint8_t touches = 0;
      for (const int k : kDown) {
        if (GrainTouch(ink, p, code, k)) touches |= static_cast<uint8_t>(1 << k);
      }
      m[p.y * w + p.x] |= AsMarks(touches);
    });
  });
  mirror();
  // Then where lines end, on those marks; set once all are found.
  std::vector<std::vector<std::pair<int64_t, uint8_t>>> found(static_cast<size_t>(parts));
  ForEachPart(mask.height, parts, threads, [&](int64_t part, int64_t top, int64_t bottom) {
    ForEachBareCorner(ink, mask, top, bottom, [&](Pixel p, uint8_t code) {
      uint8_t touches = 0;
      for (const int k : kDown) {
        const uint8_t bit = static_cast<uint8_t>(1 << k);
        if ((kBareCorners[code] & bit) && !(ink.Marked(p) & bit) && EndTouch(ink, p, code, k)) {
          touches |= bit;
        }
      }
      if (touches) found[static_cast<size_t>(part)].push_back({p.y * w + p.x, AsMarks(touches)});
    });
  });
  for (const auto& list : found) {
    for (const auto& [i, marks] : list) m[i] |= marks;
  }
  mirror();
}

bool BareCorner(const uint8_t* distances, int64_t width, int64_t height, int64_t x, int64_t y,
                int64_t dx, int64_t dy) {
  if (x + dx < 0 || y + dy < 0 || x + dx >= width || y + dy >= height) return false;
  return distances[(y + dy) * width + x + dx] != 0 && distances[y * width + x + dx] == 0 &&
         distances[(y + dy) * width + x] == 0;
}
