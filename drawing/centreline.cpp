#include "drawing/centreline.h"

#include <algorithm>
#include <cmath>

#include "drawing/centre_smoothing.h"
#include "drawing/corner_touch.h"
#include "drawing/corners.h"
#include "drawing/distance_map.h"
#include "drawing/fixed_point.h"
#include "drawing/ink_probe.h"
#include "drawing/thinning.h"
#include "parallel/parts.h"

namespace {

// Pixel k of a thin stroke (up to about three pixels wide) moved across
// it: a parabola through the distances of the pixel and its two neighbours
// across the stroke puts the ridge between them, the middle of an even
// width between two pixels.
PointF CentredThin(const std::vector<Point>& pixels, size_t k, const InkRaster& r) {
  const auto x = [&](size_t i) { return static_cast<int64_t>(pixels[i].x); };
  const auto y = [&](size_t i) { return static_cast<int64_t>(pixels[i].y); };
  const size_t before = k >= 2 ? k - 2 : 0, after = std::min(k + 2, pixels.size() - 1);
  const int64_t px = x(k), py = y(k);
  const PointF p{static_cast<double>(px), static_cast<double>(py)};
  if (before == after) return p;
  // The normal, rounded to one of the eight neighbour directions: a
  // component counts when it is more than tan(22.5 degrees) of the other.
  const double tx = static_cast<double>(x(after) - x(before));
  const double ty = static_cast<double>(y(after) - y(before));
  const double ax = std::fabs(ty), ay = std::fabs(tx);  // of the normal (-ty, tx)
  const int64_t nx = ax > 0.4142 * ay ? (ty > 0 ? -1 : 1) : 0;
  const int64_t ny = ay > 0.4142 * ax ? (tx > 0 ? 1 : -1) : 0;
  const auto at = [&](int64_t qx, int64_t qy) {
    return qx < 0 || qy < 0 || qx >= r.width || qy >= r.height
               ? 0.0
               : static_cast<double>(r.distances[qy * r.width + qx]);
  };
  // Ink touching only at a corner across the line is another line's (two
  // lines a pixel apart), not this one's width.
  const bool diagonal = nx != 0 && ny != 0;
  const auto across = [&](int64_t sx, int64_t sy) {
    return diagonal && BareCorner(r.distances, r.width, r.height, px, py, sx, sy)
               ? 0.0
               : at(px + sx, py + sy);
  };
  const double minus = across(-nx, -ny), centre = at(px, py), plus = across(nx, ny);
  const double curvature = minus - 2 * centre + plus;
  if (curvature >= 0) return p;
  const double t = std::clamp((minus - plus) / (2 * curvature), -0.5, 0.5);
  return {p.x + t * static_cast<double>(nx), p.y + t * static_cast<double>(ny)};
}

// Pixel k of the branch moved to the middle of the chord across the stroke
// through it: on a straight stroke every such chord's middle lies on the
// centreline, whatever the chord's slant, so the direction need not be
// exact. Thin strokes take the cheaper parabola, as good there, but for a
// pixel that may lie a whole pixel off (`chord`: a junction's, pulled
// towards a branch since pruned), which the parabola cannot move so far.
PointF Centred(const std::vector<Point>& pixels, size_t k, const InkRaster& r, bool chord = false) {
  const auto x = [&](size_t i) { return static_cast<double>(pixels[i].x); };
  const auto y = [&](size_t i) { return static_cast<double>(pixels[i].y); };
  const double radius = r.Radius(pixels[k]);
  if (radius < 2 && !chord) return CentredThin(pixels, k, r);
  const size_t span = std::max<size_t>(2, static_cast<size_t>(radius));
  const size_t before = k >= span ? k - span : 0, after = std::min(k + span, pixels.size() - 1);
  const PointF p{x(k), y(k)};
  if (before == after) return p;
  const PointF t = Unit(x(after) - x(before), y(after) - y(before));
  const double limit = 2 * radius + 2;
  const double plus = InkAhead(r, p.x, p.y, -t.y, t.x, limit);
  const double minus = InkAhead(r, p.x, p.y, t.y, -t.x, limit);
  // A chord a quarter longer than the stroke is wide (more than the slant
  // of the skeleton's direction gives) runs into a junction, or along the
  // overlap of a corner's arms or a tight turn's legs, and its middle is no
  // centre: neighbouring pixels' chords would pull their points to and fro
  // across the corner. The pixel is left where it is.
  if (plus + minus > 2.5 * radius + 2) return p;
  const double shift = (plus - minus) / 2;
  return {p.x - t.y * shift, p.y + t.x * shift};
}

// The centre of a round cap near `guess`: the circle of the stroke's half
// width that best fits the outline ahead of it (least squares with the
// radius fixed, the outline ahead of the centre only, since behind it lie
// the stroke's sides). The outline is found by rays from the guess; the
// direction from `body`, a centred point behind the cap, says what is ahead.
// The fit does not lean on the skeleton's tip, which on a curved or thick
// stroke turns into a corner of the cap.
PointF CapCentre(const InkRaster& r, PointF guess, PointF body, double radius) {
  constexpr int kRays = 48;
  constexpr double kCone = 0.5;
  const double limit = 2 * radius + 3;
  PointF hits[kRays];
  int found = 0;
  for (int i = 0; i < kRays; ++i) {
    const double angle = 2 * M_PI * i / kRays;
    const double ux = std::cos(angle), uy = std::sin(angle);
    const double t = InkAhead(r, guess.x, guess.y, ux, uy, limit);
    if (t < limit) hits[found++] = {guess.x + t * ux, guess.y + t * uy};
  }
  PointF c = guess;
  for (int round = 0; round < 6; ++round) {
    const PointF d = Unit(c.x - body.x, c.y - body.y);
    double sx = 0, sy = 0;
    int used = 0;
    for (int i = 0; i < found; ++i) {
      const double qx = hits[i].x - c.x, qy = hits[i].y - c.y;
      const double length = std::sqrt(qx * qx + qy * qy);
      if (length < 1e-9 || qx * d.x + qy * d.y < kCone * length) continue;
      sx += hits[i].x - radius * qx / length;
      sy += hits[i].y - radius * qy / length;
      ++used;
    }
    if (used < kRays / 6) break;
    c = {sx / used, sy / used};
  }
  return c;
}

// A free end at `end`, the stroke running out along d: the first pixels,
// up to `reach` of them, that lie beyond it, or within `half` and a pixel
// of it (the skeleton's pixels lie up to a pixel out) and a pixel or more
// aside of its line, are left out. The skeleton of a thick round cap may
// run on along the cap's rim, a hook of half the stroke's width; the
// body's own centreline, curving or not, comes back to the line behind
// the end.
PointF CutAt(PointF end, PointF d, double half, std::vector<Point>& pixels, size_t reach) {
  const auto inCap = [&](const Point& p) {
    const double dx = p.x - end.x, dy = p.y - end.y;
    return dx * d.x + dy * d.y > -0.25 ||
           (std::hypot(dx, dy) < half + 1 && std::fabs(dx * d.y - dy * d.x) >= 1);
  };
  size_t cut = 0;
  while (cut < reach && cut + 1 < pixels.size() && inCap(pixels[cut])) ++cut;
  pixels.erase(pixels.begin(), pixels.begin() + static_cast<std::ptrdiff_t>(cut));
  return end;
}

// How far beyond `tip` along d the ink of a thin line reaches: the far edge
// of the farthest ink pixel near the tip within the line's band (half its
// width and half a pixel either side of the line through the tip). Where
// a line steps at its end, the thinning may take its last pixel (with two
// neighbours, at a stair's end, it is simple), and a ray along the line
// from what is left passes beside that pixel.
double InkBeyond(const InkRaster& r, PointF tip, PointF d, double half) {
  const double edge = 0.5 / std::max(std::fabs(d.x), std::fabs(d.y));  // a pixel's far side
  const int64_t cx = std::lround(tip.x), cy = std::lround(tip.y);
  // The ink within three pixels that joins the tip's there, across a
  // corner only along the line: another line passing a pixel aside, or
  // touching it at a corner, is not this one's. Three: the thinning may
  // eat a line two pixels wide back from its end by more than two.
  constexpr int kAround = 3, kSide = 2 * kAround + 1;
  bool ink[kSide][kSide];
  for (int j = 0; j < kSide; ++j) {
    for (int i = 0; i < kSide; ++i) {
      ink[j][i] =
          r.Ink(static_cast<double>(cx + i - kAround), static_cast<double>(cy + j - kAround));
    }
  }
  bool joined[kSide][kSide] = {};
  joined[kAround][kAround] = true;
  for (bool grew = true; grew;) {
    grew = false;
    for (int j = 0; j < kSide; ++j) {
      for (int i = 0; i < kSide; ++i) {
        if (joined[j][i] || !ink[j][i]) continue;
        const int64_t x = cx + i - kAround, y = cy + j - kAround;
        for (int k = 0; k < 8 && !joined[j][i]; ++k) {
          const int ni = i + kRingX[k], nj = j + kRingY[k];
          if (ni < 0 || nj < 0 || ni >= kSide || nj >= kSide || !joined[nj][ni]) continue;
          const bool aside = std::fabs(kRingX[k] * d.x + kRingY[k] * d.y) < 0.7 * std::sqrt(2.0);
          if (!aside || !BareCorner(r.distances, r.width, r.height, x, y, kRingX[k], kRingY[k])) {
            joined[j][i] = grew = true;
          }
        }
      }
    }
  }
  double reach = 0;
  for (int j = 0; j < kSide; ++j) {
    for (int i = 0; i < kSide; ++i) {
      // The tip's own pixel may lie on paper, a centre between two.
      if (!joined[j][i] || !ink[j][i]) continue;
      const double dx = static_cast<double>(cx + i - kAround) - tip.x,
                   dy = static_cast<double>(cy + j - kAround) - tip.y;
      const double along = dx * d.x + dy * d.y, across = std::fabs(dx * d.y - dy * d.x);
      if (along > 0 && across <= half + 0.5) reach = std::max(reach, along + edge);
    }
  }
  return reach;
}

// Half a thin stroke's width behind its end, from the runs of ink across
// it through seven of its pixels from `from` on: each run along the axis
// nearer the stroke's normal there (from the pixels two either side),
// shortened by the stroke's slant to that axis. A run is the chord
// rounded to whole pixels, and over a few pixels of a slanted stroke the
// roundings cancel; the shortest chord through the outline's staircase,
// slanted within 30 degrees of the normal, was a fifth to two fifths short
// on strokes two to three pixels wide, and their ends were put up to a
// pixel out. A run reaching farther to one side of the centred pixel than
// to the other by more than a pixel passes into other ink (the arch of an
// n below its stem's top, a line touching) and is left out; the rest are
// averaged without the longest and the shortest. Negative where fewer
// than three are left. O(1): seven runs of up to 17 pixels.
double RunHalfWidth(const std::vector<Point>& pixels, size_t from, const InkRaster& r) {
  double sum = 0, shortest = INFINITY, longest = 0;
  int n = 0;
  for (size_t k = from; k < std::min(pixels.size(), from + 7); ++k) {
    const Point& a = pixels[k >= 2 ? k - 2 : 0];
    const Point& b = pixels[std::min(pixels.size() - 1, k + 2)];
    const PointF d = Unit(b.x - a.x, b.y - a.y);
    if (d.x == 0 && d.y == 0) continue;
    const bool columns = std::fabs(d.x) >= std::fabs(d.y);  // runs up and down
    const double x = pixels[k].x, y = pixels[k].y;
    int sides[2] = {0, 0};
    for (int side = 0; side < 2; ++side) {
      const int sign = side == 0 ? -1 : 1;
      while (sides[side] < 8 && (columns ? r.Ink(x, y + sign * (sides[side] + 1))
                                         : r.Ink(x + sign * (sides[side] + 1), y))) {
        ++sides[side];
      }
    }
    if (std::abs(sides[0] - sides[1]) > 1) continue;
    const double run = (1 + sides[0] + sides[1]) * std::max(std::fabs(d.x), std::fabs(d.y));
    sum += run, shortest = std::min(shortest, run), longest = std::max(longest, run), ++n;
  }
  if (n < 3) return -1;
  if (n >= 5) sum -= shortest + longest, n -= 2;
  return sum / n / 2;
}

// The centre of a free end's round cap: from a pixel of the stroke's body
// the ink runs on to the tip; the cap's centre lies the stroke's half
// width back from there. Pixels beyond it are left out.
PointF FittedEnd(std::vector<Point>& pixels, const InkRaster& r) {
  const auto x = [&](size_t i) { return static_cast<double>(pixels[i].x); };
  const auto y = [&](size_t i) { return static_cast<double>(pixels[i].y); };
  const size_t reach = std::min<size_t>(pixels.size() / 2, 40);
  double radius = 0;
  for (size_t k = 0; k <= reach; ++k) radius = std::max(radius, r.Radius(pixels[k]));
  // The direction from two centred points of the body: the tip pixel
  // itself may lean to a side of the cap.
  const size_t body = std::min(reach, static_cast<size_t>(radius) + 2);
  const size_t deeper =
      std::min(pixels.size() - 1, body + std::max<size_t>(4, static_cast<size_t>(2 * radius)));
  if (pixels.size() < 3) return Centred(pixels, 0, r);
  // A thin stroke's half width from its runs, for either way to its end.
  const double runs = radius < 2.5 ? RunHalfWidth(pixels, body, r) : -1;
  if (radius < 2.5) {
    // A thin line (up to about two and a half pixels wide): from its last
    // pixel on along its last few, as far as the ink goes less the cap's
    // radius (nothing for a line one pixel wide, whose ink ends with the
    // pixel). From three pixels on the cap is a disc whose rim the
    // skeleton's last pixel leans onto, tilting that direction by up to
    // 15 degrees and the end a pixel aside: the cap is fitted instead.
    const PointF tip = Centred(pixels, 0, r);
    const PointF back = Centred(pixels, std::min<size_t>(pixels.size() - 1, 4), r);
    const PointF d = Unit(tip.x - back.x, tip.y - back.y);
    if (d.x == 0 && d.y == 0) return tip;
    double half = runs;
    if (half < 0.75) {
      // Too few runs, or a line a pixel wide, whose ink ends with its last
      // pixel: the runs through its steps (two pixels) would pull the end
      // back into it. The middle of five chords across the body: one
      // through a stair's step spans both its pixels, a quarter pixel too
      // wide a side, and one slanted through a step of the outline misses
      // a pixel, half a pixel too narrow.
      double chords[5];
      size_t n = 0;
      for (size_t k = 2; k <= std::min<size_t>(pixels.size() - 1, 6); ++k) {
        chords[n++] = HalfWidth(r, Centred(pixels, k, r), d, 4);
      }
      std::nth_element(chords, chords + n / 2, chords + n);
      half = half < 0 ? chords[n / 2] : std::min(half, chords[n / 2]);
    }
    if (half < 1.25) {
      const double reach =
          std::max(InkAhead(r, tip.x, tip.y, d.x, d.y, 4), InkBeyond(r, tip, d, half));
      // No farther than the picture's edge, where the ink ends.
      double edge = reach;
      if (d.x != 0) edge = std::min(edge, ((d.x < 0 ? -0.5 : r.width - 0.5) - tip.x) / d.x);
      if (d.y != 0) edge = std::min(edge, ((d.y < 0 ? -0.5 : r.height - 0.5) - tip.y) / d.y);
      const double along = std::min(reach - half, edge);
      return CutAt({tip.x + along * d.x, tip.y + along * d.y}, d, 0, pixels, body);
    }
  }
  const PointF b = Centred(pixels, body, r);
  const PointF b2 = Centred(pixels, deeper, r);
  const size_t deepest = std::min(pixels.size() - 1, 2 * deeper - body);
  const PointF b3 = Centred(pixels, deepest, r);
  PointF d = Unit(b.x - b2.x, b.y - b2.y);
  const PointF before = Unit(b2.x - b3.x, b2.y - b3.y);
  const double limit = 4 * radius + 4;
  // Where the body bends its direction misses the cap: then towards the
  // tip. So too where the stroke curls in its last pixels: the tip lies
  // aside of the body's line, beyond the ink of a straight end.
  const double aside = std::fabs((x(0) - b.x) * d.y - (y(0) - b.y) * d.x);
  const auto across = [&](PointF along) {
    return runs >= 0 ? runs : HalfWidth(r, b, along, limit);
  };
  double half = -1;  // across the body, once d is settled
  if (deeper == body || deepest == deeper || d.x * before.x + d.y * before.y < 0.94 ||
      aside > (half = across(d)) + 1) {
    d = Unit(x(0) - b.x, y(0) - b.y);
    half = -1;
  }
  if (d.x == 0 && d.y == 0) return {x(0), y(0)};
  if (half < 0) half = across(d);
  const double ahead = InkAhead(r, b.x, b.y, d.x, d.y, limit + body);
  const double along = std::max(0.0, ahead - half);
  const PointF end = CapCentre(r, {b.x + along * d.x, b.y + along * d.y}, b, half);
  return CutAt(end, Unit(end.x - b.x, end.y - b.y), half, pixels, 2 * body);
}

// The direction of the centreline at points[at], in the order of its
// points: the slope at that end of a parabola fitted (least squares, over the
// length along it) to about `span` of the points before it (step -1) or
// after it (step 1), so that a curve's bend does not tilt it as a chord
// would. False when there are too few points.
bool Heading(const std::vector<Point>& points, size_t at, int step, double span, PointF& unit,
             bool straight = false) {
  double s = 0;                                 // the length along, from points[at]
  double sums[5] = {}, sx[3] = {}, sy[3] = {};  // sums of s^k, of x s^k, of y s^k
  size_t used = 0;
  for (size_t k = at;;) {
    const double x = static_cast<double>(points[k].x - points[at].x),
                 y = static_cast<double>(points[k].y - points[at].y);
    double power = 1;
    for (int e = 0; e < 5; ++e, power *= s) {
      sums[e] += power;
      if (e < 3) sx[e] += x * power, sy[e] += y * power;
    }
    ++used;
    if (s >= span || (step < 0 ? k == 0 : k + 1 == points.size())) break;
    const size_t next = step < 0 ? k - 1 : k + 1;
    s += std::hypot(static_cast<double>(points[next].x - points[k].x),
                    static_cast<double>(points[next].y - points[k].y));
    k = next;
  }
  if (used < 3 || s == 0) return false;
  // Normal equations of c0 + c1 s + c2 s^2; the slope at s = 0 is c1.
  const auto slope = [&](const double* v) {
    const double m[3][4] = {{sums[0], sums[1], sums[2], v[0]},
                            {sums[1], sums[2], sums[3], v[1]},
                            {sums[2], sums[3], sums[4], v[2]}};
    const auto det3 = [](double a, double b, double c, double d, double e, double f, double g,
                         double h, double i) {
      return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    };
    const double det =
        det3(m[0][0], m[0][1], m[0][2], m[1][0], m[1][1], m[1][2], m[2][0], m[2][1], m[2][2]);
    if (det == 0) return std::nan("");
    return det3(m[0][0], m[0][3], m[0][2], m[1][0], m[1][3], m[1][2], m[2][0], m[2][3], m[2][2]) /
           det;
  };
  const auto line = [&](const double* v) {
    return (sums[0] * v[1] - sums[1] * v[0]) / (sums[0] * sums[2] - sums[1] * sums[1]);
  };
  double dx = straight ? line(sx) : slope(sx), dy = straight ? line(sy) : slope(sy);
  const double length = std::hypot(dx, dy);
  if (!(length > 0)) return false;
  // The fit runs along s, away from points[at]: backwards when step is -1.
  dx = -dx / length, dy = -dy / length;
  unit = {step < 0 ? dx : -dx, step < 0 ? dy : -dy};
  return true;
}

// Fills the gap after points[at] (a junction passed through) with a cubic
// that leaves and arrives along the centreline's own directions on either
// side: straight across a crossing of straight strokes, round it on curved
// ones, where a chord would cut inside the curve. A cubic that leaves the
// ink (headings skewed by a ragged skeleton) is not the stroke's line: the
// gap is then left as the chord, which joins two points of the ink.
// O(gap length).
// after: where the centreline goes on from points[at + 1] (0 when that is
// a closed stroke's end, its start again).
void Bridge(std::vector<Point>& points, size_t at, size_t after, double span, int scale,
            const InkRaster& raster, std::vector<Point>& out) {
  const Point a = points[at], b = points[at + 1];
  const double gap = std::hypot(static_cast<double>(b.x - a.x), static_cast<double>(b.y - a.y));
  PointF ta, tb;
  if (!Heading(points, at, -1, span, ta) || !Heading(points, after, 1, span, tb)) return;
  // Hermite tangents of 2 tan(turn / 4) / sin(turn / 2) times the gap (the
  // gap itself on a straight crossing): the cubic nearest a circle's arc
  // through both ends with those tangents. Shorter ones cut inside a curve.
  const double turn = std::fabs(std::atan2(ta.x * tb.y - ta.y * tb.x, ta.x * tb.x + ta.y * tb.y));
  const double stretch = turn > 1e-6 ? 2 * std::tan(turn / 4) / std::sin(turn / 2) : 1.0;
  const double ax = a.x, ay = a.y, bx = b.x, by = b.y;
  const double length = gap * std::min(stretch, 2.0);
  const int n = static_cast<int>(gap / scale);
  const size_t start = out.size();
  for (int k = 1; k < n; ++k) {
    const double t = static_cast<double>(k) / n, t2 = t * t, t3 = t2 * t;
    const double h00 = 2 * t3 - 3 * t2 + 1, h10 = t3 - 2 * t2 + t, h01 = -2 * t3 + 3 * t2,
                 h11 = t3 - t2;
    out.push_back({static_cast<int32_t>(std::lround(h00 * ax + h10 * length * ta.x + h01 * bx +
                                                    h11 * length * tb.x)),
                   static_cast<int32_t>(std::lround(h00 * ay + h10 * length * ta.y + h01 * by +
                                                    h11 * length * tb.y))});
    const Point& p = out.back();
    if (!raster.Ink(static_cast<double>(p.x) / scale, static_cast<double>(p.y) / scale)) {
      out.resize(start);
      return;
    }
  }
}

// The direction of a stroke's own line at points[at]: a line fitted to
// `span` of its points after it (step 1) or before it (step -1), over
// half as many while they stray from it by more than a pixel. A stroke
// that turns soon after (the bar of an e, rising into the bowl) would
// tilt the line fitted over the whole span. `span` and the stray in the
// points' fixed-point units (a pixel is `scale`).
bool StraightHeading(const std::vector<Point>& points, size_t at, int step, double span, int scale,
                     PointF& unit) {
  const double least = 6.0 * scale;
  for (;; span /= 2) {
    if (!Heading(points, at, step, span, unit, true)) return false;
    if (span / 2 < least) return true;
    double s = 0, stray = 0;
    for (size_t k = at; s < span && (step < 0 ? k > 0 : k + 1 < points.size());) {
      const size_t next = step < 0 ? k - 1 : k + 1;
      s += std::hypot(static_cast<double>(points[next].x - points[k].x),
                      static_cast<double>(points[next].y - points[k].y));
      k = next;
      const double x = static_cast<double>(points[k].x - points[at].x),
                   y = static_cast<double>(points[k].y - points[at].y);
      stray = std::max(stray, std::fabs(x * unit.y - y * unit.x));
    }
    if (stray <= scale) return true;
  }
}

// Where a stroke ending at a junction that another passes meets the other's
// line: followed on from points[at] along its own heading (fitted to the
// points after it, step 1, or before it, step -1) to its first crossing of
// `line`, within `reach`. Its
// skeleton bends towards the other branches there, and the junction's
// middle lies off both lines. False when it does not cross.
bool Meet(const std::vector<Point>& points, size_t at, int step, double span, double reach,
          int scale, const std::vector<Point>& line, Point& meet) {
  PointF t;
  if (!StraightHeading(points, at, step, span, scale, t)) return false;
  if (step > 0) t = {-t.x, -t.y};  // the heading runs along the stroke, the start's end against it
  const double px = points[at].x, py = points[at].y;
  double best = reach;
  bool found = false;
  for (size_t k = 0; k + 1 < line.size(); ++k) {
    // P + u t = A + v (B - A), for u in [0, best] and v in [0, 1].
    const double ax = line[k].x - px, ay = line[k].y - py;
    const double ex = line[k + 1].x - line[k].x, ey = line[k + 1].y - line[k].y;
    const double det = ex * t.y - ey * t.x;
    if (det == 0) continue;
    const double u = (ex * ay - ey * ax) / det, v = (t.x * ay - t.y * ax) / det;
    if (u >= 0 && u <= best && v >= 0 && v <= 1) best = u, found = true;
  }
  if (found) meet = {RoundToInt(px + best * t.x), RoundToInt(py + best * t.y)};
  return found;
}

}  // namespace

std::vector<Point> CentrelineOf(const StrokeGraph& g, const StrokeRun& run, int64_t width,
                                int64_t height, const uint8_t* distances, int scale,
                                const ThroughLines* through, ThroughLines* record) {
  const InkRaster raster{width, height, distances};
  const RowFinder rows(width);
  std::vector<Point> points;
  // Reserved whole: a stroke of millions of pixels must not pass through
  // twice its size while the vector doubles.
  size_t total = 2;
  const std::span<const RunStep> steps = g.Steps(run);
  // Where the centreline passes a junction: after points[at], over about
  // span pixels of the centreline either side for its directions.
  struct Gap {
    size_t at;
    int node;
  };
  std::vector<Gap> bridges;
  std::vector<size_t> vertices;  // where a branch's corners stand
  // The nodes a stroke ends at, on a line passing through (-1: none).
  int meetFirst = -1, meetLast = -1;
  const auto passedBy = [&](int node) {
    const std::vector<Point>* line = node >= 0 && through ? through->At(node) : nullptr;
    return line && !line->empty();
  };
  for (const RunStep& step : steps) total += g.branches[step.branch].count + 3;
  points.reserve(total);
  const auto add = [&](PointF f) {
    const Point p = ToFixed(f, scale);
    if (points.empty() || points.back().x != p.x || points.back().y != p.y) points.push_back(p);
  };
  // A node of two branches that neither bend towards each other nor make a
  // corner (what pruning left of a junction on a line or round a turn) is
  // a pixel of the stroke like any other: the stroke runs on through it.
  const auto plain = [&](int node) { return node >= 0 && g.BendOrTurn(node) == 0; };
  // Near a node the skeleton bends towards the other branches: within the
  // stroke width of it (farther at an acute junction) the centreline runs
  // straight to the node instead, or straight through a junction it passes.
  const auto nearNode = [&](int node, Point i) {
    if (node < 0 || plain(node)) return false;
    const Node& n = g.nodes[node];
    const double reach =
        g.Bend(node) > 0 ? g.Bend(node) : std::max({2.0, 2 * n.Radius(), g.BendOrTurn(node)});
    const double dx = static_cast<double>(i.x) - n.X(), dy = static_cast<double>(i.y) - n.Y();
    return dx * dx + dy * dy < reach * reach;
  };
  const auto pixel = [&](uint32_t i) {
    const int64_t y = rows.Row(i);
    return Point{static_cast<int32_t>(i - y * width), static_cast<int32_t>(y)};
  };
  // Pixels [from, to) of step s's branch as walked, onto `out`.
  const auto walk = [&](size_t s, size_t from, size_t to, std::vector<Point>& out) {
    const std::span<const uint32_t> all = g.Pixels(g.branches[steps[s].branch]);
    for (size_t k = from; k < to; ++k) {
      out.push_back(pixel(all[steps[s].reversed ? all.size() - 1 - k : k]));
    }
  };
  const auto nodePixel = [&](int node) {
    return Point{static_cast<int32_t>(std::lround(g.nodes[node].X())),
                 static_cast<int32_t>(std::lround(g.nodes[node].Y()))};
  };
  // Pixels of a neighbouring branch enough to centre a pixel by.
  const auto context = [&](int node) {
    return static_cast<size_t>(2 * g.nodes[node].Radius()) + 2;
  };
  for (size_t s = 0; s < steps.size(); ++s) {
    const Branch& branch = g.branches[steps[s].branch];
    const bool reversed = steps[s].reversed;
    const int first = reversed ? branch.to : branch.from, last = reversed ? branch.from : branch.to;
    const bool passed = s > 0 || run.closed;
    // The branch as walked, its free ends fitted to their caps. Through a
    // plain node the stroke runs on: the node's pixel starts the branch
    // after it. Then the end of the branch before it and the start of the
    // one after, `before` and `after` pixels, are put either side to
    // centre the pixels near it by (after the caps, which cut pixels at
    // their ends).
    const bool fromPlain = passed && plain(first);
    std::vector<Point> pixels;
    pixels.reserve(branch.count + 1);
    if (fromPlain) pixels.push_back(nodePixel(first));
    walk(s, 0, branch.count, pixels);
    if (branch.loop) {
      const size_t cut = StraightestPixel(pixels, raster);
      std::rotate(pixels.begin(), pixels.begin() + static_cast<std::ptrdiff_t>(cut), pixels.end());
    }
    const bool freeStart = first < 0 && !branch.loop, freeEnd = last < 0 && !branch.loop;
    PointF startCap{0, 0}, endCap{0, 0};
    if (freeStart) startCap = FittedEnd(pixels, raster);
    if (freeEnd) {
      std::reverse(pixels.begin(), pixels.end());
      endCap = FittedEnd(pixels, raster);
      std::reverse(pixels.begin(), pixels.end());
    }
    size_t before = 0, after = 0;
    if (fromPlain) {
      const size_t previous = (s + steps.size() - 1) % steps.size();
      const size_t n = g.branches[steps[previous].branch].count;
      before = std::min<size_t>(n, context(first));
      std::vector<Point> joined;
      joined.reserve(before + pixels.size() + context(first) + 1);
      walk(previous, n - before, n, joined);
      joined.insert(joined.end(), pixels.begin(), pixels.end());
      pixels = std::move(joined);
    }
    if ((s + 1 < steps.size() || run.closed) && plain(last)) {
      const size_t next = (s + 1) % steps.size();
      after = std::min<size_t>(g.branches[steps[next].branch].count, context(last)) + 1;
      pixels.push_back(nodePixel(last));
      walk(next, 0, after - 1, pixels);
    }
    // A junction passed through is bridged straight: its centroid lies
    // between the branches, off both strokes' lines. A stroke ends at it.
    if (!passed && passedBy(first)) {
      meetFirst = first;
    } else if (first >= 0 && !(passed && (g.Bend(first) > 0 || plain(first)))) {
      add({g.nodes[first].X(), g.nodes[first].Y()});
    } else if (first >= 0 && !points.empty() && g.Bend(first) > 0) {
      bridges.push_back({points.size() - 1, first});
    }
    const size_t begin = points.size();
    if (freeStart) add(startCap);
    // Keep at least the middle pixel of a short branch between nodes.
    const size_t ownEnd = pixels.size() - after, middle = (before + ownEnd) / 2;
    double radius = 0;
    for (size_t k = before; k < ownEnd; ++k) {
      if (k != middle && (nearNode(first, pixels[k]) || nearNode(last, pixels[k]))) continue;
      add(Centred(pixels, k, raster, k == before && fromPlain));
      radius = std::max(radius, raster.Radius(pixels[k]));
    }
    if (freeEnd) add(endCap);
    RestoreCorners(points, begin, radius, raster, scale, vertices);
    SmoothCentres(points, begin, points.size(), vertices, SmoothingReach(radius), scale);
    // A closed stroke passes the junction it started from on to its start.
    const bool closing = run.closed && last >= 0 && (g.Bend(last) > 0 || plain(last));
    if (s + 1 == steps.size() && !run.closed && passedBy(last)) {
      meetLast = last;
    } else if (s + 1 == steps.size() && last >= 0 && !closing) {
      add({g.nodes[last].X(), g.nodes[last].Y()});
    }
  }
  if (run.closed && !points.empty() &&
      (points.back().x != points.front().x || points.back().y != points.front().y)) {
    const RunStep& end = steps.back();
    const int last = end.reversed ? g.branches[end.branch].from : g.branches[end.branch].to;
    if (last >= 0 && g.Bend(last) > 0) bridges.push_back({points.size() - 1, last});
    points.push_back(points.front());
  }
  const auto span = [&](int node) { return std::max(6.0, g.Bend(node)) * scale; };
  if (!bridges.empty()) {
    // The bridges, filled in one pass into a new vector.
    std::vector<Point> filled, fill;
    filled.reserve(points.size() + 64);
    size_t next = 0;
    for (size_t k = 0; k < points.size(); ++k) {
      filled.push_back(points[k]);
      if (next < bridges.size() && bridges[next].at == k) {
        fill.clear();
        const int node = bridges[next].node;
        if (k + 1 < points.size()) {
          const size_t after = run.closed && k + 2 == points.size() ? 0 : k + 1;
          Bridge(points, k, after, span(node), scale, raster, fill);
          if (std::vector<Point>* line = record ? record->At(node) : nullptr) {
            line->assign(1, points[k]);
            line->insert(line->end(), fill.begin(), fill.end());
            line->push_back(points[k + 1]);
          }
        }
        filled.insert(filled.end(), fill.begin(), fill.end());
        ++next;
      }
    }
    points.swap(filled);
  }
  // The ends that meet a passing line (or failing that, the junction's middle).
  const auto endAt = [&](int node, bool start) {
    if (node < 0) return;
    const Node& n = g.nodes[node];
    Point meet = ToFixed({n.X(), n.Y()}, scale);
    if (points.size() >= 3) {
      const size_t at = start ? 0 : points.size() - 1;
      Meet(points, at, start ? 1 : -1, 2 * span(node), 3 * span(node), scale, *through->At(node),
           meet);
    }
    if (start) {
      if (points.empty() || points.front().x != meet.x || points.front().y != meet.y)
        points.insert(points.begin(), meet);
    } else if (points.empty() || points.back().x != meet.x || points.back().y != meet.y) {
      points.push_back(meet);
    }
  };
  endAt(meetLast, false);
  endAt(meetFirst, true);
  return points;
}

ThroughLines LinesThroughJunctions(const StrokeGraph& g, int64_t width, int64_t height,
                                   const uint8_t* distances, int scale, int threads) {
  // Each node's part: 1 where a stroke ends, 2 where one passes and is
  // bridged across.
  std::vector<uint8_t> part(g.nodes.size(), 0);
  const auto ends = [&](const RunStep& step, bool atFrom) {
    const Branch& b = g.branches[step.branch];
    return atFrom != static_cast<bool>(step.reversed) ? b.from : b.to;
  };
  for (const StrokeRun& run : g.runs) {
    const std::span<const RunStep> steps = g.Steps(run);
    for (size_t s = 0; s < steps.size(); ++s) {
      const int first = ends(steps[s], true);
      if (first >= 0 && (s > 0 || run.closed) && g.Bend(first) > 0) part[first] |= 2;
      if (first >= 0 && s == 0 && !run.closed) part[first] |= 1;
    }
    const int last = ends(steps.back(), false);
    if (last >= 0 && !run.closed) part[last] |= 1;
  }
  ThroughLines through;
  for (size_t n = 0; n < part.size(); ++n) {
    if (part[n] == 3) through.nodes.push_back(static_cast<int>(n));
  }
  through.lines.resize(through.nodes.size());
  if (through.nodes.empty()) return through;
  // A thread's share of the runs records into its own copy; the copies are
  // read in the runs' order, a later run's line replacing an earlier one's
  // at the same junction as it would on one thread.
  std::vector<ThroughLines> recorded(static_cast<size_t>(std::max(threads, 1)), through);
  ForEachSlice(static_cast<int64_t>(g.runs.size()), threads,
               [&](int64_t slice, int64_t begin, int64_t end) {
                 for (int64_t r = begin; r < end; ++r) {
                   const StrokeRun& run = g.runs[static_cast<size_t>(r)];
                   const std::span<const RunStep> steps = g.Steps(run);
                   bool passesAnEnd = false;
                   for (size_t s = 0; s < steps.size() && !passesAnEnd; ++s) {
                     const int first = ends(steps[s], true);
                     passesAnEnd = first >= 0 && (s > 0 || run.closed) && part[first] == 3;
                   }
                   if (passesAnEnd) {
                     CentrelineOf(g, run, width, height, distances, scale, nullptr,
                                  &recorded[static_cast<size_t>(slice)]);
                   }
                 }
               });
  for (ThroughLines& copy : recorded) {
    for (size_t i = 0; i < copy.lines.size(); ++i) {
      if (!copy.lines[i].empty()) through.lines[i] = std::move(copy.lines[i]);
    }
  }
  return through;
}
