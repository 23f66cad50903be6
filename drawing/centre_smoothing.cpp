#include "drawing/centre_smoothing.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr size_t kWidest = 15;  // points either side of the widest fit
constexpr size_t kRing = 32;    // a power of two above 2 * kWidest + 1
// How far the points may lie off their parabola, at the root mean square,
// and still be the outline's rounding rather than a bend: a rounding
// spread evenly over half a pixel either side has 0.29 px across the
// stroke, and a one-pixel line's pixel centres are rounded along it as
// well (0.41 px in all), which 0.3 would leave as they are.
constexpr double kStray = 0.4;

// The parabola through the 2h + 1 points of a window, in the points'
// order, written in the discrete orthogonal polynomials 1, j and
// q(j) = j^2 - h (h + 1) / 3 of the point j from the middle, so that each
// coefficient is one weighted sum. The window keeps the sums of p, j p,
// j^2 p and |p|^2, exact in whole numbers (the points are taken from an
// origin within the picture, at most 2^26.5 off), and slides one point on
// in O(1).
struct Window {
  size_t k = 0, h = 0;  // its middle and half width; h = 0: none yet
  int64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0, x2 = 0, y2 = 0, pp = 0;

  void Add(Point p, int64_t j, int64_t sign) {
    x0 += sign * p.x, y0 += sign * p.y, x1 += sign * j * p.x, y1 += sign * j * p.y;
    x2 += sign * j * j * p.x, y2 += sign * j * j * p.y;
    pp += sign * (int64_t{p.x} * p.x + int64_t{p.y} * p.y);
  }
  // Sums afresh over at(k - h), ..., at(k + h). O(h).
  template <class At>
  void Gather(size_t middle, size_t half, At at) {
    *this = {middle, half};
    const auto hh = static_cast<int64_t>(half);
    for (int64_t j = -hh; j <= hh; ++j) Add(at(middle - half + static_cast<size_t>(j + hh)), j, 1);
  }
  // The same half width, one point on.
  template <class At>
  void Slide(At at) {
    const auto hh = static_cast<int64_t>(h);
    const Point out = at(k - h), in = at(k + h + 1);
    x2 += x0 - 2 * x1 - (hh + 1) * (hh + 1) * out.x + hh * hh * in.x;
    y2 += y0 - 2 * y1 - (hh + 1) * (hh + 1) * out.y + hh * hh * in.y;
    x1 += -x0 + (hh + 1) * out.x + hh * in.x;
    y1 += -y0 + (hh + 1) * out.y + hh * in.y;
    x0 += in.x - out.x, y0 += in.y - out.y;
    pp += int64_t{in.x} * in.x + int64_t{in.y} * in.y - int64_t{out.x} * out.x -
          int64_t{out.y} * out.y;
    ++k;
  }
  // The parabola at the middle, or false where the points lie off it by
  // more than `stray` at the root mean square: there they bend more than
  // a parabola does (a tight turn), and it would cut the turn's inside.
  bool Fit(double stray, PointF& at) const {
    const double hh = static_cast<double>(h), n = 2 * hh + 1, shift = hh * (hh + 1) / 3;
    const double jj = hh * (hh + 1) * n / 3;                                 // sum of j^2
    const double qq = hh * (hh + 1) * n * (2 * hh - 1) * (2 * hh + 3) / 45;  // sum of q^2
    const double qx = static_cast<double>(x2) - shift * static_cast<double>(x0);
    const double qy = static_cast<double>(y2) - shift * static_cast<double>(y0);
    const double ax = static_cast<double>(x0), ay = static_cast<double>(y0);
    const double bx = static_cast<double>(x1), by = static_cast<double>(y1);
    const double rest = static_cast<double>(pp) - (ax * ax + ay * ay) / n -
                        (bx * bx + by * by) / jj - (qx * qx + qy * qy) / qq;
    if (rest > stray * stray * n) return false;
    at = {ax / n - shift * qx / qq, ay / n - shift * qy / qq};
    return true;
  }
};

// Smooths points[from, to] in place; the two ends stay. Point k moves to
// the least-squares parabola through points k - h to k + h at k, h being
// `reach`, or less where the span's end is nearer or the points bend too
// much for a parabola. The points the fits read are kept as they were in
// a ring, so memory does not grow with the stroke. O(to - from), and
// O(reach^2) a point at tight turns.
void SmoothSpan(std::vector<Point>& points, size_t from, size_t to, size_t reach, double stray) {
  if (to < from + 4) return;
  const size_t n = to - from + 1;
  const Point origin = points[from];
  Point ring[kRing];
  const auto at = [&](size_t i) { return ring[i % kRing]; };
  size_t loaded = 0;  // points[from, from + loaded) are in the ring, less the origin
  Window window, narrower;
  for (size_t k = 2; k + 2 < n; ++k) {
    for (; loaded < n && loaded <= k + reach; ++loaded) {
      ring[loaded % kRing] = {points[from + loaded].x - origin.x,
                              points[from + loaded].y - origin.y};
    }
    const size_t h = std::min({reach, k, n - 1 - k});
    if (window.h == h && window.k + 1 == k) {
      window.Slide(at);
    } else {
      window.Gather(k, h, at);
    }
    PointF fit;
    bool found = window.Fit(stray, fit);
    for (size_t narrow = h - 1; !found && narrow >= 2; --narrow) {
      narrower.Gather(k, narrow, at);
      found = narrower.Fit(stray, fit);
    }
    if (found) {
      points[from + k] = {origin.x + static_cast<int32_t>(std::lround(fit.x)),
                          origin.y + static_cast<int32_t>(std::lround(fit.y))};
    }
  }
}

}  // namespace

// Measured on random drawings of known centrelines (p95 of the error in
// the open, at every width): fits over 3 points either side take off a
// third of it, 9 half of it, more on thick strokes, whose outline bends
// slowly, a little more. A line's pixel stairs are as long as the inverse
// of its slope, so the wider the fit, the flatter the slopes it evens out;
// the tight turns are left to the stray test.
size_t SmoothingReach(double radius) {
  return std::clamp<size_t>(static_cast<size_t>(radius) + 9, 9, kWidest);
}

void SmoothCentres(std::vector<Point>& points, size_t begin, size_t end,
                   const std::vector<size_t>& kept, size_t reach, int scale) {
  if (end < begin + 5) return;
  reach = std::clamp<size_t>(reach, 2, (kRing - 1) / 2);
  const double stray = kStray * scale;
  size_t from = begin;
  for (const size_t k : kept) {
    SmoothSpan(points, from, k, reach, stray);
    from = k;
  }
  SmoothSpan(points, from, end - 1, reach, stray);
}
