// Lines and arcs fitted to centrelines: every point within the tolerance
// of the piece that spans it, on random seeded curves with the sub-pixel
// jitter of traced centrelines; few pieces on curves, no more than the
// polyline's on straight lines; tangents carried on through smooth turns.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "curves/arc_fit.h"
#include "curves/segment.h"
#include "drawing/drawing_vectorizer.h"
#include "vectorize/chain_simplifier.h"

namespace {

// A curve sampled about a pixel apart, as a centreline is: x(t), y(t) for
// t in [0, 1], its length measured along it.
template <class Curve>
std::vector<PointF> Sample(Curve curve, std::mt19937& random, double jitter) {
  std::uniform_real_distribution<double> noise(-jitter, jitter);
  double length = 0;
  for (int i = 1; i <= 10000; ++i) {
    const PointF a = curve((i - 1) / 10000.0), b = curve(i / 10000.0);
    length += std::hypot(b.x - a.x, b.y - a.y);
  }
  const int n = std::max(2, static_cast<int>(length));
  std::vector<PointF> points;
  for (int i = 0; i <= n; ++i) {
    const PointF p = curve(static_cast<double>(i) / n);
    points.push_back({p.x + noise(random), p.y + noise(random)});
  }
  return points;
}

// The points of the path each piece spans, [first, last]: the vertices
// are points of the path, met in order along it.
std::vector<std::pair<size_t, size_t>> Spans(const std::vector<PointF>& path,
                                             const FittedPath& fit) {
  std::vector<std::pair<size_t, size_t>> spans;
  size_t first = 0;
  for (size_t k = 0; k + 1 < fit.vertices.size(); ++k) {
    const PointF to = fit.vertices[k + 1];
    size_t last = first + 1;
    while (last < path.size() && (path[last].x != to.x || path[last].y != to.y)) ++last;
    EXPECT_LT(last, path.size()) << "vertex " << k + 1 << " is no point of the path";
    if (last >= path.size()) break;
    spans.push_back({first, last});
    first = last;
  }
  return spans;
}

// The farthest any point lies from the piece that spans it.
double WorstDistance(const std::vector<PointF>& path, const FittedPath& fit) {
  double worst = 0;
  const auto spans = Spans(path, fit);
  if (spans.size() != fit.bulges.size()) return 1e300;
  for (size_t k = 0; k < spans.size(); ++k) {
    const DistanceToPiece distance({fit.vertices[k], fit.vertices[k + 1], fit.bulges[k]});
    for (size_t i = spans[k].first; i <= spans[k].second; ++i) {
      worst = std::max(worst, distance(path[i]));
    }
  }
  return worst;
}

// The farthest the fit strays from the path: samples of every piece
// against the nearest of the points it spans (about a pixel apart, so a
// sample between two lies up to half that off them).
double WorstStray(const std::vector<PointF>& path, const FittedPath& fit) {
  double worst = 0;
  const auto spans = Spans(path, fit);
  for (size_t k = 0; k < spans.size(); ++k) {
    const Segment piece{fit.vertices[k], fit.vertices[k + 1], fit.bulges[k]};
    for (int j = 0; j <= 32; ++j) {
      const PointF q = piece.At(j / 32.0);
      double nearest = 1e300;
      for (size_t i = spans[k].first; i <= spans[k].second; ++i) {
        nearest = std::min(nearest, std::hypot(path[i].x - q.x, path[i].y - q.y));
      }
      worst = std::max(worst, nearest);
    }
  }
  return worst;
}

// The largest change of direction where one piece meets the next, in degrees.
double WorstKink(const FittedPath& fit) {
  double worst = 0;
  for (size_t k = 0; k + 1 < fit.bulges.size(); ++k) {
    const PointF a = Segment{fit.vertices[k], fit.vertices[k + 1], fit.bulges[k]}.EndTangent();
    const PointF b =
        Segment{fit.vertices[k + 1], fit.vertices[k + 2], fit.bulges[k + 1]}.StartTangent();
    worst = std::max(worst, std::fabs(std::atan2(a.x * b.y - a.y * b.x, a.x * b.x + a.y * b.y)));
  }
  return worst * 180 / M_PI;
}

// The polyline's pieces for the same path and tolerance, for comparison.
size_t PolylinePieces(const std::vector<PointF>& path, double epsilon) {
  std::vector<Point> fixed;
  for (const PointF& p : path) {
    fixed.push_back({static_cast<int32_t>(std::lround(p.x * 256)),
                     static_cast<int32_t>(std::lround(p.y * 256))});
  }
  const int n = static_cast<int>(fixed.size()) - 1;
  std::vector<Point> out(fixed.size() + 1);
  return SimplifyPoints(fixed.data(), n, epsilon * 256, 1, out.data(), n + 1) - 1;
}

PointF OnCircle(double cx, double cy, double r, double angle) {
  return {cx + r * std::cos(angle), cy + r * std::sin(angle)};
}

}  // namespace

TEST(Segment, ArcsPassThroughTheirEndsAndKeepTheirRadius) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> coordinate(-50, 50), bulge(-3, 3);
  for (int trial = 0; trial < 200; ++trial) {
    const Segment s{{coordinate(random), coordinate(random)},
                    {coordinate(random), coordinate(random)},
                    bulge(random)};
    const PointF start = s.At(0), end = s.At(1), c = s.Centre();
    EXPECT_NEAR(start.x, s.from.x, 1e-9);
    EXPECT_NEAR(end.x, s.to.x, 1e-6);
    EXPECT_NEAR(end.y, s.to.y, 1e-6);
    for (double t = 0; t <= 1; t += 0.125) {
      const PointF p = s.At(t);
      EXPECT_NEAR(std::hypot(p.x - c.x, p.y - c.y), s.Radius(), 1e-6);
      EXPECT_LT(DistanceTo(s, p), 1e-6) << "trial " << trial << " t " << t;
    }
    // The tangents point along the arc: a small step from each end.
    const PointF ahead = s.At(1e-4), t0 = s.StartTangent();
    EXPECT_GT((ahead.x - start.x) * t0.x + (ahead.y - start.y) * t0.y, 0);
    // The bulge's sign: positive turns from +x toward +y.
    const double cross = (s.At(0.5).x - s.from.x) * (s.to.y - s.from.y) -
                         (s.At(0.5).y - s.from.y) * (s.to.x - s.from.x);
    EXPECT_EQ(cross > 0, s.bulge > 0) << "trial " << trial;
  }
}

TEST(Segment, DistanceIsTheNearestOfManySamples) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> coordinate(-20, 20), bulge(-4, 4);
  for (int trial = 0; trial < 100; ++trial) {
    const Segment s{{coordinate(random), coordinate(random)},
                    {coordinate(random), coordinate(random)},
                    trial % 5 == 0 ? 0 : bulge(random)};
    for (int k = 0; k < 20; ++k) {
      const PointF p{coordinate(random), coordinate(random)};
      double sampled = 1e300;
      for (int i = 0; i <= 4000; ++i) {
        const PointF q = s.At(i / 4000.0);
        sampled = std::min(sampled, std::hypot(p.x - q.x, p.y - q.y));
      }
      EXPECT_NEAR(DistanceTo(s, p), sampled, 0.02 + 2e-3 * s.Length())
          << "trial " << trial << " point " << k;
    }
  }
}

TEST(Segment, NearlyStraightArcsMeasureLikeTheirChord) {
  // A bulge of 1e-17 is a radius of 1e16: its circle's distances had no
  // digits left, and a point 0.63 px off the chord measured as on it.
  for (const double bulge : {1e-17, -1e-12, 1e-9}) {
    EXPECT_NEAR(DistanceTo({{192, 85}, {191, 82}, bulge}, {191, 84}), 2 / std::sqrt(10.0), 1e-6);
  }
}

TEST(ArcFit, EveryPointWithinTheToleranceOnRandomCurves) {
  for (unsigned seed = 1; seed <= 300; ++seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    const double epsilon = 0.05 + 2 * unit(random);
    const double r = 3 + 300 * unit(random), phase = 6.3 * unit(random);
    const double a = 20 + 400 * unit(random), turns = 0.2 + 2 * unit(random);
    std::vector<PointF> path;
    switch (seed % 4) {
      case 0:  // a circle or part of one
        path = Sample([&](double t) { return OnCircle(0, 0, r, phase + 6.2832 * turns * t); },
                      random, 0.3);
        break;
      case 1:  // a spiral: the curvature changes all along
        path = Sample(
            [&](double t) { return OnCircle(0, 0, r * (0.2 + t), phase + 6.2832 * turns * t); },
            random, 0.3);
        break;
      case 2:  // a wave: inflections
        path = Sample(
            [&](double t) {
              return PointF{a * t, r / 4 * std::sin(turns * 12 * t)};
            },
            random, 0.3);
        break;
      case 3:  // a polyline of random corners
        PointF p{0, 0};
        path.push_back(p);
        for (int leg = 0; leg < 5; ++leg) {
          const double angle = 6.3 * unit(random), length = 5 + a * unit(random) / 4;
          for (int i = 1; i <= static_cast<int>(length); ++i) {
            path.push_back({p.x + i * std::cos(angle), p.y + i * std::sin(angle)});
          }
          p = path.back();
        }
        break;
    }
    FittedPath fit;
    FitLinesAndArcs(path, epsilon, fit);
    ASSERT_EQ(fit.bulges.size() + 1, fit.vertices.size()) << "seed " << seed;
    EXPECT_EQ(fit.vertices.front().x, path.front().x);
    EXPECT_EQ(fit.vertices.back().y, path.back().y);
    EXPECT_LE(WorstDistance(path, fit), epsilon * (1 + 1e-9)) << "seed " << seed;
    // Nor does the fit swing wide of the points between them.
    EXPECT_LE(WorstStray(path, fit), epsilon + 1.5) << "seed " << seed;
  }
}

TEST(ArcFit, CurvesTakeFewPiecesAndLinesNoMoreThanThePolyline) {
  std::mt19937 random(3);
  // A circle of radius 200 within 0.5 px: two arcs where the polyline takes 35.
  const std::vector<PointF> circle =
      Sample([](double t) { return OnCircle(300, 300, 200, 6.2832 * t); }, random, 0.2);
  FittedPath fit;
  FitLinesAndArcs(circle, 0.5, fit);
  EXPECT_LE(fit.bulges.size(), 3u);
  EXPECT_GE(PolylinePieces(circle, 0.5), 10 * fit.bulges.size());
  // Straight legs with corners: one straight piece a leg, as the polyline.
  std::vector<PointF> legs;
  for (int i = 0; i <= 100; ++i) legs.push_back({static_cast<double>(i), 0});
  for (int i = 1; i <= 80; ++i) legs.push_back({100, static_cast<double>(i)});
  for (int i = 1; i <= 60; ++i) legs.push_back({100.0 - i, 80.0 - i});
  FitLinesAndArcs(legs, 0.5, fit);
  EXPECT_EQ(fit.bulges.size(), PolylinePieces(legs, 0.5));
  for (double b : fit.bulges) EXPECT_EQ(b, 0);
}

TEST(ArcFit, SmoothCurvesKeepTheirTangentAndCornersStay) {
  for (unsigned seed = 1; seed <= 50; ++seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    const double r = 20 + 200 * unit(random), epsilon = 0.3 + unit(random);
    const std::vector<PointF> spiral =
        Sample([&](double t) { return OnCircle(0, 0, r * (0.3 + t), 9 * t); }, random, 0.15);
    FittedPath fit;
    FitLinesAndArcs(spiral, epsilon, fit);
    EXPECT_LT(WorstKink(fit), 15) << "seed " << seed;
  }
  // A square's corners are corners.
  std::vector<PointF> square;
  for (int side = 0; side < 4; ++side) {
    for (int i = 0; i < 50; ++i) {
      const double s[4][2] = {{1.0 * i, 0}, {50, 1.0 * i}, {50.0 - i, 50}, {0, 50.0 - i}};
      square.push_back({s[side][0], s[side][1]});
    }
  }
  square.push_back(square.front());
  FittedPath fit;
  FitLinesAndArcs(square, 0.5, fit);
  EXPECT_EQ(fit.bulges.size(), 4u);
  EXPECT_GT(WorstKink(fit), 85);
}

TEST(ArcFit, DrawingWithCurvesKeepsItsStrokesAndReversesArcs) {
  // A ring and a bar, 3 px wide: with curves the same strokes, fewer points.
  GrayImage mask;
  mask.width = mask.height = 160;
  mask.pixels.reset(new uint8_t[160 * 160]());
  for (int y = 0; y < 160; ++y) {
    for (int x = 0; x < 160; ++x) {
      const double d = std::hypot(x - 60.0, y - 60.0);
      if (std::fabs(d - 45) <= 1.5 || (y >= 140 && y <= 142 && x >= 10 && x <= 150)) {
        mask.Row(y)[x] = 1;
      }
    }
  }
  const auto run = [&](bool curves) {
    GrayImage copy;
    copy.width = copy.height = 160;
    copy.pixels.reset(new uint8_t[160 * 160]);
    std::memcpy(copy.pixels.get(), mask.pixels.get(), 160 * 160);
    DrawingOptions options;
    options.epsilon = 0.5;
    options.curves = curves;
    Drawing d;
    EXPECT_EQ(VectorizeDrawing(copy, options, d), DrawingStatus::kOk);
    return d;
  };
  const Drawing lines = run(false), arcs = run(true);
  ASSERT_EQ(arcs.strokes.size(), lines.strokes.size());
  ASSERT_EQ(arcs.bulges.size(), arcs.points.size());
  EXPECT_LT(arcs.points.size() * 3, lines.points.size());
  Drawing turned = arcs;
  for (const Stroke& s : turned.strokes) {
    turned.Reverse(s);
    // Each piece reversed is the same curve: its midpoint stays.
    for (uint32_t i = 0; i + 1 < s.count; ++i) {
      const uint32_t j = s.count - 2 - i;
      const PointF m1 = PieceOf(arcs, s, j).At(0.5), m2 = PieceOf(turned, s, i).At(0.5);
      EXPECT_NEAR(m1.x, m2.x, 1e-3);
      EXPECT_NEAR(m1.y, m2.y, 1e-3);
    }
  }
}
