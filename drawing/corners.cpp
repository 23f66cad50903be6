#include "drawing/corners.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "drawing/fixed_point.h"
#include "drawing/line_fit.h"

namespace {

constexpr double kCornerTurn = 0.82;   // cos 35 degrees: a sharper turn may be a corner
constexpr double kMinCrossing = 0.34;  // sin 20 degrees: arms nearer parallel are no corner
constexpr double kArmSpread = 0.75;    // px: the most a straight arm's points stray from its line

// The line through points[from, to).
FittedLine ArmFit(const std::vector<Point>& points, size_t from, size_t to, int scale) {
  return FitLine(to - from, [&](size_t k) { return FromFixed(points[from + k], scale); });
}

// The chords from `reach` points back to k and from k to `reach` points on.
struct Chords {
  double ax, ay, bx, by;
};

Chords ChordsAt(const std::vector<Point>& points, size_t k, size_t reach) {
  return {static_cast<double>(points[k].x - points[k - reach].x),
          static_cast<double>(points[k].y - points[k - reach].y),
          static_cast<double>(points[k + reach].x - points[k].x),
          static_cast<double>(points[k + reach].y - points[k].y)};
}

// Whether the path turns at k by more than the corner turn. No square
// root: this runs once a point.
bool TurnsSharply(const std::vector<Point>& points, size_t k, size_t reach) {
  const Chords c = ChordsAt(points, k, reach);
  const double dot = c.ax * c.bx + c.ay * c.by;
  return dot <= 0 || dot * dot < kCornerTurn * kCornerTurn * (c.ax * c.ax + c.ay * c.ay) *
                                     (c.bx * c.bx + c.by * c.by);
}

// The cosine of that turn.
double TurnCosine(const std::vector<Point>& points, size_t k, size_t reach) {
  const Chords c = ChordsAt(points, k, reach);
  const double lengths = std::sqrt((c.ax * c.ax + c.ay * c.ay) * (c.bx * c.bx + c.by * c.by));
  return lengths > 0 ? (c.ax * c.bx + c.ay * c.by) / lengths : 1;
}

// Sizes, in points, for a stroke of this half width: the arms' lines are
// fitted from `near` to `far` points either side of the turn, since within
// about twice the half width of a sharp corner the arms bend each other's
// centring.
struct Reach {
  size_t near, far;
};

Reach ReachFor(double radius) {
  const size_t near = static_cast<size_t>(2 * radius + 2.5);
  return {near, near + std::max<size_t>(10, static_cast<size_t>(2 * radius))};
}

// Whether the straight path from p to q runs on ink all the way, within a
// pixel; sampled every half pixel. O(distance).
bool InkBetween(const InkRaster& r, PointF p, PointF q) {
  const double length = std::hypot(q.x - p.x, q.y - p.y);
  const int steps = static_cast<int>(2 * length) + 1;
  for (int i = 0; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    if (!InkNear(r, p.x + t * (q.x - p.x), p.y + t * (q.y - p.y))) return false;
  }
  return true;
}

// The vertex of the corner at k, or false when the turn there is a curve:
// both arms straight, crossing at a fair angle, and their crossing on ink
// a whole half width inside it, as the centre of a round join is. Where a
// curve's arms cross lies off its centreline, nearer the edge.
bool CornerVertex(const std::vector<Point>& points, size_t begin, size_t end, size_t k, Reach reach,
                  const InkRaster& r, int scale, PointF& vertex) {
  // Each arm's line over twice the span where the points run on straight
  // that far: over one span, their centring a tenth of a pixel to and fro
  // turns the line by a degree or two, and at an acute corner its crossing
  // with the other moves a pixel or two.
  const auto fit = [&](size_t room, auto line) {
    const size_t twice = 2 * reach.far - reach.near;
    if (room >= twice) {
      const FittedLine longer = line(twice);
      if (longer.spread <= kArmSpread) return std::pair{longer, twice};
    }
    return std::pair{line(reach.far), reach.far};
  };
  const auto [a, aFar] = fit(
      k - begin, [&](size_t far) { return ArmFit(points, k - far, k - reach.near + 1, scale); });
  const auto [b, bFar] = fit(
      end - 1 - k, [&](size_t far) { return ArmFit(points, k + reach.near, k + far + 1, scale); });
  if (a.spread > kArmSpread || b.spread > kArmSpread) return false;
  // Arm a runs into the corner, arm b out of it.
  PointF ua = a.direction, ub = b.direction;
  const PointF aFrom = FromFixed(points[k - aFar], scale),
               aTo = FromFixed(points[k - reach.near], scale);
  const PointF bFrom = FromFixed(points[k + reach.near], scale),
               bTo = FromFixed(points[k + bFar], scale);
  if ((aTo.x - aFrom.x) * ua.x + (aTo.y - aFrom.y) * ua.y < 0) ua = {-ua.x, -ua.y};
  if ((bTo.x - bFrom.x) * ub.x + (bTo.y - bFrom.y) * ub.y < 0) ub = {-ub.x, -ub.y};
  const double cross = ua.x * ub.y - ua.y * ub.x;
  if (std::fabs(cross) < kMinCrossing) return false;
  const double cx = b.centre.x - a.centre.x, cy = b.centre.y - a.centre.y;
  const double t = (cx * ub.y - cy * ub.x) / cross;
  const PointF v{a.centre.x + t * ua.x, a.centre.y + t * ua.y};
  // Arms that meet off the ink (or off the picture) turn there, not corner
  // (a pixel off is allowed: a line one pixel wide loses its corner's last
  // pixel to the thinning, and its arms' lines are fitted to steps); nor do
  // arms whose lines meet on other ink across the paper.
  const bool inside = v.x >= -0.5 && v.y >= -0.5 && v.x <= static_cast<double>(r.width) - 0.5 &&
                      v.y <= static_cast<double>(r.height) - 0.5;
  if (!inside || !InkNear(r, v.x, v.y) || !InkBetween(r, aTo, v) || !InkBetween(r, v, bFrom)) {
    return false;
  }
  // Beyond the end of arm a and before the start of arm b.
  if ((v.x - aTo.x) * ua.x + (v.y - aTo.y) * ua.y < -1) return false;
  if ((bFrom.x - v.x) * ub.x + (bFrom.y - v.y) * ub.y < -1) return false;
  const double limit = 4 * static_cast<double>(reach.near) + 4;
  const double radiusA = HalfWidth(r, a.centre, ua, limit);
  const double radiusB = HalfWidth(r, b.centre, ub, limit);
  const double radius = (radiusA + radiusB) / 2;
  if (std::fabs(radiusA - radiusB) > 1 + 0.2 * radius) return false;
  // The ink reaches the radius round the vertex, less what the outline's
  // rounding may miss it by (a pixel, or a fifth) and what the arms' fits
  // may move their crossing by.
  const double slack = std::max(1.0, 0.2 * radius) + CrossingError({-ua.x, -ua.y}, ub);
  constexpr int kRays = 16;
  for (int i = 0; i < kRays; ++i) {
    const double angle = 2 * M_PI * i / kRays;
    if (InkAhead(r, v.x, v.y, std::cos(angle), std::sin(angle), radius + 1) < radius - slack) {
      return false;
    }
  }
  vertex = v;
  return true;
}

}  // namespace

void RestoreCorners(std::vector<Point>& points, size_t begin, double radius, const InkRaster& r,
                    int scale, std::vector<size_t>& vertices) {
  vertices.clear();
  const size_t end = points.size();
  struct Corner {
    size_t from, to;  // the points [from, to) give way to the vertex
    Point vertex;
  };
  std::vector<Corner> corners;
  const Reach reach = ReachFor(std::max(1.0, radius));
  size_t k = begin;
  while (k < end) {
    if (k < begin + reach.far || k + reach.far >= end || !TurnsSharply(points, k, reach.near)) {
      ++k;
      continue;
    }
    // The sharpest point of this turn.
    size_t sharpest = k;
    double least = TurnCosine(points, k, reach.near);
    size_t j = k + 1;
    for (; j + reach.far < end; ++j) {
      if (!TurnsSharply(points, j, reach.near)) break;
      const double c = TurnCosine(points, j, reach.near);
      if (c < least) least = c, sharpest = j;
    }
    PointF v;
    if (CornerVertex(points, begin, end, sharpest, reach, r, scale, v)) {
      corners.push_back({sharpest - reach.near + 1, sharpest + reach.near, ToFixed(v, scale)});
      k = sharpest + reach.near + reach.far;  // the next corner's arms clear of this one
    } else {
      k = j;
    }
  }
  if (corners.empty()) return;
  // Compact in place: each corner's points become its vertex.
  size_t out = corners.front().from, in = out;
  for (const Corner& c : corners) {
    while (in < c.from) points[out++] = points[in++];
    vertices.push_back(out);
    points[out++] = c.vertex;
    in = c.to;
  }
  while (in < end) points[out++] = points[in++];
  points.resize(out);
}

size_t StraightestPixel(const std::vector<Point>& pixels, const InkRaster& r) {
  const size_t n = pixels.size();
  double radius = 1;
  for (const Point& p : pixels) radius = std::max(radius, r.Radius(p));
  const Reach reach = ReachFor(radius);
  const size_t half = reach.near + reach.far;
  if (n < 4 * half) return 0;
  size_t best = 0;
  int64_t longest = -1;
  for (size_t k = 0; k < n; ++k) {
    const Point& a = pixels[(k + n - half) % n];
    const Point& b = pixels[(k + half) % n];
    const int64_t dx = b.x - a.x, dy = b.y - a.y;
    if (dx * dx + dy * dy > longest) longest = dx * dx + dy * dy, best = k;
  }
  return best;
}
