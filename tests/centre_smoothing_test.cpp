// The evening out of centred points on paths of known shape: pixel stairs
// of straight lines, a rounded circle, a tight U turn and a kept corner.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "drawing/centre_smoothing.h"
#include "drawing/fixed_point.h"
#include "tests/segment_distance.h"

namespace {

constexpr int kScale = 256;

// The path's points in fixed point, each rounded to the pixel grid as the
// centres of a one-pixel line are: at most half a pixel off each way.
std::vector<Point> Rounded(const std::vector<PointF>& path) {
  std::vector<Point> out;
  for (const PointF& p : path) out.push_back(ToFixed({std::round(p.x), std::round(p.y)}, kScale));
  return out;
}

double DistanceToLine(PointF p, PointF a, PointF b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  return std::fabs((p.x - a.x) * dy - (p.y - a.y) * dx) / std::hypot(dx, dy);
}

// The least distance from p to the polyline through path.
double DistanceToPath(PointF p, const std::vector<PointF>& path) {
  double best = 1e9;
  for (size_t i = 0; i + 1 < path.size(); ++i) {
    best = std::min(best,
                    SegmentDistance(p.x, p.y, path[i].x, path[i].y, path[i + 1].x, path[i + 1].y));
  }
  return best;
}

// A straight line of `length` px from (5, 5) at `angle`, a point a pixel
// along its longer axis, as a one-pixel line's skeleton has them.
std::vector<PointF> Line(double angle, double length) {
  const double ux = std::cos(angle), uy = std::sin(angle);
  const double step = 1 / std::max(std::fabs(ux), std::fabs(uy));
  std::vector<PointF> path;
  for (double t = 0; t <= length; t += step) path.push_back({5 + t * ux, 5 + t * uy});
  return path;
}

// The 95th percentile of the values.
double P95(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() * 95 / 100];
}

TEST(CentreSmoothing, StairsOfStraightLinesAreEvenedOut) {
  // Away from the ends (where the fits grow from nothing), the points of
  // lines at random slopes lie nearer their line than rounded: at the
  // 95th percentile much nearer, at worst no farther. (A slope near an
  // axis or a diagonal has stairs longer than any fit, so the worst stays
  // near half a pixel.)
  std::mt19937 random(7);
  std::vector<double> rounded, smoothed;
  double worstRounded = 0, worstSmoothed = 0;
  for (int trial = 0; trial < 200; ++trial) {
    const double angle = std::uniform_real_distribution<double>(0, 2 * M_PI)(random);
    const std::vector<PointF> path = Line(angle, 120);
    std::vector<Point> points = Rounded(path);
    const std::vector<Point> before = points;
    const size_t reach = SmoothingReach(0.5);
    SmoothCentres(points, 0, points.size(), {}, reach, kScale);
    ASSERT_EQ(points.front().x, before.front().x);
    ASSERT_EQ(points.back().y, before.back().y);
    for (size_t k = reach; k + reach < points.size(); ++k) {
      rounded.push_back(DistanceToLine(FromFixed(before[k], kScale), path.front(), path.back()));
      smoothed.push_back(DistanceToLine(FromFixed(points[k], kScale), path.front(), path.back()));
      worstRounded = std::max(worstRounded, rounded.back());
      worstSmoothed = std::max(worstSmoothed, smoothed.back());
    }
  }
  EXPECT_LE(P95(smoothed), 0.5 * P95(rounded));
  EXPECT_LE(worstSmoothed, worstRounded + 0.1);
}

TEST(CentreSmoothing, CirclesKeepTheirRadius) {
  // A parabola follows a bend, so the points are not pulled inside it:
  // rounded circles of radius 6 to 40 come out rounder (the squares of the
  // points' distances off the circle sum to under a third) and no smaller.
  for (double radius : {6.0, 10.0, 20.0, 40.0}) {
    SCOPED_TRACE(testing::Message() << "radius " << radius);
    std::vector<PointF> path;
    const int n = static_cast<int>(2 * M_PI * radius);
    for (int i = 0; i <= n; ++i) {
      const double a = 2 * M_PI * i / n;
      path.push_back({50 + radius * std::cos(a), 50 + radius * std::sin(a)});
    }
    std::vector<Point> points = Rounded(path);
    const std::vector<Point> before = points;
    SmoothCentres(points, 0, points.size(), {}, SmoothingReach(radius / 4), kScale);
    const auto off = [&](Point p) {
      const PointF f = FromFixed(p, kScale);
      return std::hypot(f.x - 50, f.y - 50) - radius;
    };
    double meanBefore = 0, meanAfter = 0, spreadBefore = 0, spreadAfter = 0;
    for (size_t k = 0; k < points.size(); ++k) {
      meanBefore += off(before[k]), meanAfter += off(points[k]);
      spreadBefore += off(before[k]) * off(before[k]),
          spreadAfter += off(points[k]) * off(points[k]);
    }
    EXPECT_LE(std::fabs(meanAfter - meanBefore) / static_cast<double>(points.size()), 0.03);
    EXPECT_LE(spreadAfter, 0.3 * spreadBefore);
  }
}

TEST(CentreSmoothing, TightTurnsAreNotCut) {
  // A thin line's U turn of radius 1.5 to 3 px between long legs: a fit
  // across it would cut the turn's inside by a pixel; the points stay
  // within the rounding's half pixel and a little of the path.
  for (double radius : {1.5, 2.0, 3.0}) {
    SCOPED_TRACE(testing::Message() << "radius " << radius);
    std::vector<PointF> path;
    for (double y = 60; y > 20; y -= 1) path.push_back({20, y});
    const int n = static_cast<int>(M_PI * radius) + 2;
    for (int i = 0; i <= n; ++i) {
      const double a = M_PI - M_PI * i / n;
      path.push_back({20 + radius + radius * std::cos(a), 20 - radius * std::sin(a)});
    }
    for (double y = 21; y <= 60; y += 1) path.push_back({20 + 2 * radius, y});
    std::vector<Point> points = Rounded(path);
    SmoothCentres(points, 0, points.size(), {}, SmoothingReach(1), kScale);
    for (const Point& p : points) EXPECT_LE(DistanceToPath(FromFixed(p, kScale), path), 0.75);
  }
}

TEST(CentreSmoothing, KeptPointsStayAndNoFitReachesAcrossThem) {
  // A right-angled corner whose vertex is kept: the points of each arm
  // stay on their own arm's line up to the vertex.
  std::vector<PointF> path;
  for (double x = 10; x < 40; x += 1) path.push_back({x, 30.3});
  const size_t vertex = path.size();
  for (double y = 30.3; y > 0; y -= 1) path.push_back({40.2, y});
  std::vector<Point> points;
  for (const PointF& p : path) points.push_back(ToFixed(p, kScale));
  const std::vector<Point> before = points;
  SmoothCentres(points, 0, points.size(), {vertex}, SmoothingReach(3), kScale);
  EXPECT_EQ(points[vertex].x, before[vertex].x);
  EXPECT_EQ(points[vertex].y, before[vertex].y);
  for (size_t k = 0; k < vertex; ++k) EXPECT_NEAR(points[k].y, before[k].y, 1) << k;
  for (size_t k = vertex; k < points.size(); ++k) EXPECT_NEAR(points[k].x, before[k].x, 1) << k;
}

}  // namespace
