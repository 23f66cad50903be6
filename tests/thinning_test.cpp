// The thinning keeps the topology of any mask, and the notch filling takes
// only notch tips; the stroke order finds the same nearest ends as a
// search over every stroke.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <queue>
#include <random>
#include <vector>

#include "drawing/distance_map.h"
#include "drawing/stroke_order.h"
#include "drawing/thinning.h"

namespace {

GrayImage Blank(int w, int h) {
  GrayImage mask;
  mask.width = w;
  mask.height = h;
  mask.pixels.reset(new uint8_t[w * h]());
  return mask;
}

// Connected components of pixels equal to `value`: 8-connected for ink,
// 4-connected for paper (the paper outside the picture joins all of its
// border components into one).
int Components(const GrayImage& m, uint8_t value) {
  const int w = m.width, h = m.height;
  std::vector<int> label(w * h, 0);
  int count = 0;
  bool outside = false;
  for (int start = 0; start < w * h; ++start) {
    if ((m.pixels[start] != 0) != (value != 0) || label[start]) continue;
    ++count;
    bool border = false;
    std::vector<int> stack = {start};
    label[start] = count;
    while (!stack.empty()) {
      const int i = stack.back();
      stack.pop_back();
      const int x = i % w, y = i / w;
      border |= x == 0 || y == 0 || x == w - 1 || y == h - 1;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          if ((dx || dy) == 0 || (value == 0 && dx && dy)) continue;
          const int nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
          const int j = ny * w + nx;
          if ((m.pixels[j] != 0) != (value != 0) || label[j]) continue;
          label[j] = count;
          stack.push_back(j);
        }
      }
    }
    if (value == 0 && border) {
      if (outside) --count;  // one more piece of the one outer paper
      outside = true;
    }
  }
  return count;
}

// Random discs, rings and bars, some touching: whatever their shapes, the
// skeleton has as many pieces of ink and as many holes as the mask.
TEST(Thinning, KeepsEveryPieceOfInkAndEveryHole) {
  std::mt19937 random(5);
  for (int trial = 0; trial < 40; ++trial) {
    GrayImage mask = Blank(90, 70);
    for (int shape = 0; shape < 6; ++shape) {
      const double cx = random() % 90, cy = random() % 70, r = 2 + random() % 12;
      const double inner = random() % 3 == 0 ? r * 0.5 : -1;
      for (int y = 0; y < 70; ++y) {
        for (int x = 0; x < 90; ++x) {
          const double d = std::hypot(x - cx, y - cy);
          if (d <= r && d > inner) mask.Row(y)[x] = 1;
        }
      }
    }
    const int ink = Components(mask, 1), paper = Components(mask, 0);
    const std::unique_ptr<uint8_t[]> distances = ChamferDistances(mask);
    ASSERT_TRUE(ThinToSkeleton(mask, distances.get()));
    EXPECT_EQ(Components(mask, 1), ink) << "trial " << trial;
    EXPECT_EQ(Components(mask, 0), paper) << "trial " << trial;
  }
}

// Adds `count` random discs of radius `smallest` to smallest + spread - 1,
// a third of them rings where `rings`; with `gaps`, one pixel in about
// that many inside a disc is left out.
void AddDiscs(GrayImage& mask, std::mt19937& random, int count, int smallest, int spread,
              bool rings, int gaps = 0) {
  const int w = mask.width, h = mask.height;
  for (int shape = 0; shape < count; ++shape) {
    const double cx = random() % w, cy = random() % h, r = smallest + random() % spread;
    const double inner = rings && random() % 3 == 0 ? r * 0.6 : -1;
    for (int y = std::max(0, int(cy - r)); y <= std::min(h - 1, int(cy + r)); ++y) {
      for (int x = std::max(0, int(cx - r)); x <= std::min(w - 1, int(cx + r)); ++x) {
        const double d = std::hypot(x - cx, y - cy);
        if (d <= r && d > inner && (!gaps || random() % gaps)) mask.Row(y)[x] = 1;
      }
    }
  }
}

// A picture wide enough to be peeled in bands (128 rows each here), with
// shapes across the bands' edges: the topology is kept there too, and the
// skeleton is the same on one, two and three threads.
TEST(Thinning, BandsPeeledSideBySideKeepTopologyAndGiveOneSkeleton) {
  std::mt19937 random(11);
  const int w = 4096, h = 600;
  GrayImage mask = Blank(w, h);
  AddDiscs(mask, random, 120, 3, 60, true);
  const int ink = Components(mask, 1), paper = Components(mask, 0);
  const std::unique_ptr<uint8_t[]> distances = ChamferDistances(mask);
  std::vector<uint8_t> first;
  for (int threads : {1, 2, 3}) {
    SCOPED_TRACE(testing::Message() << threads << " threads");
    GrayImage thinned = Blank(w, h);
    std::copy(mask.pixels.get(), mask.pixels.get() + w * h, thinned.pixels.get());
    ASSERT_TRUE(ThinToSkeleton(thinned, distances.get(), threads));
    EXPECT_EQ(Components(thinned, 1), ink);
    EXPECT_EQ(Components(thinned, 0), paper);
    const std::vector<uint8_t> skeleton(thinned.pixels.get(), thinned.pixels.get() + w * h);
    if (first.empty()) first = skeleton;
    EXPECT_TRUE(skeleton == first);
  }
}

// The chamfer map against a shortest-path search from the paper (steps of
// 3 and 4, the picture's edge paper, clamped at 255), on a mask tall enough
// to be cut into slices and with discs wide enough to reach the clamp: the
// same on one, two and three threads.
TEST(Distances, ShortestPathsFromThePaperOnAnyNumberOfThreads) {
  std::mt19937 random(13);
  const int w = 300, h = 1300;
  GrayImage mask = Blank(w, h);
  AddDiscs(mask, random, 30, 5, 120, false, 50);
  std::vector<int> best(w * h, 1 << 20);
  using Entry = std::pair<int, int>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool edge = x == 0 || y == 0 || x == w - 1 || y == h - 1;
      const int start = !mask.Row(y)[x] ? 0 : edge ? 3 : 1 << 20;
      if (start < (1 << 20)) queue.push({best[y * w + x] = start, y * w + x});
    }
  }
  while (!queue.empty()) {
    const auto [cost, i] = queue.top();
    queue.pop();
    if (cost > best[i]) continue;
    for (int k = 0; k < 8; ++k) {
      const int nx = i % w + kRingX[k], ny = i / w + kRingY[k];
      if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
      const int next = cost + (kRingX[k] && kRingY[k] ? 4 : 3);
      if (next < best[ny * w + nx]) queue.push({best[ny * w + nx] = next, ny * w + nx});
    }
  }
  for (int threads : {1, 2, 3}) {
    SCOPED_TRACE(testing::Message() << threads << " threads");
    const std::unique_ptr<uint8_t[]> d = ChamferDistances(mask, threads);
    int wrong = 0;
    for (int i = 0; i < w * h; ++i) wrong += d[i] != std::min(best[i], 255);
    EXPECT_EQ(wrong, 0);
  }
}

TEST(Thinning, NotchTipsAreFilledButNotDiagonalGaps) {
  // A tip: paper on all four sides but one corner, which leads out.
  GrayImage mask = Blank(7, 7);
  for (int y = 1; y < 6; ++y) {
    for (int x = 1; x < 6; ++x) mask.Row(y)[x] = 1;
  }
  mask.Row(3)[3] = 0;
  mask.Row(2)[2] = 0;  // the one paper corner
  mask.Row(1)[1] = 0;
  EXPECT_EQ(FillNotchTips(mask), 1);
  EXPECT_EQ(mask.Row(3)[3], 1);
  EXPECT_EQ(mask.Row(2)[2], 0);
  // A one-pixel diagonal gap between two pieces of ink stays open: each of
  // its pixels touches paper at two corners.
  GrayImage gap = Blank(9, 9);
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 9; ++x) gap.Row(y)[x] = x != y;
  }
  const int pieces = Components(gap, 1);
  FillNotchTips(gap);
  for (int k = 1; k < 8; ++k) EXPECT_EQ(gap.Row(k)[k], 0) << k;
  EXPECT_EQ(Components(gap, 1), pieces);
}

// The grid's search for the nearest end against a search over every
// stroke: the same order, the same pen-up travel.
TEST(StrokeOrder, GridFindsTheSameNearestEndsAsAFullSearch) {
  struct Line {
    bool closed;
    std::vector<PointF> points;
  };
  std::mt19937 random(9);
  std::vector<Line> lines;
  for (int s = 0; s < 300; ++s) {
    Line line{s % 7 == 0, {}};
    // Real coordinates: no two ends at the same distance from the pen.
    std::uniform_real_distribution<double> across(0, 480), down(0, 280), length(1, 20);
    const double x = across(random), y = down(random);
    line.points = {{x, y}, {x + length(random), y + length(random)}};
    if (line.closed) line.points.push_back(line.points.front());
    lines.push_back(line);
  }
  Drawing d;
  d.width = 500;
  d.height = 300;
  for (const Line& line : lines) d.AddStroke(line.closed, line.points.begin(), line.points.end());
  // Plain greedy: from the pen, the nearest end of any stroke left.
  std::vector<Line> left = lines, ordered;
  PointF pen{0, 0};
  while (!left.empty()) {
    size_t best = 0;
    bool reverse = false;
    double nearest = std::numeric_limits<double>::infinity();
    for (size_t s = 0; s < left.size(); ++s) {
      for (bool back : {false, true}) {
        if (back && left[s].closed) continue;
        // As the drawing keeps them: in single precision.
        const PointF& q = back ? left[s].points.back() : left[s].points.front();
        const PointF p{static_cast<float>(q.x), static_cast<float>(q.y)};
        const double distance = std::hypot(p.x - pen.x, p.y - pen.y);
        if (distance < nearest) nearest = distance, best = s, reverse = back;
      }
    }
    Line line = left[best];
    left.erase(left.begin() + static_cast<std::ptrdiff_t>(best));
    if (reverse) std::reverse(line.points.begin(), line.points.end());
    pen = {static_cast<float>(line.points.back().x), static_cast<float>(line.points.back().y)};
    ordered.push_back(line);
  }
  Drawing expected;
  expected.width = d.width;
  expected.height = d.height;
  for (const Line& line : ordered) {
    expected.AddStroke(line.closed, line.points.begin(), line.points.end());
  }
  OrderStrokes(d);
  ASSERT_EQ(d.strokes.size(), expected.strokes.size());
  EXPECT_NEAR(PenUpLength(d), PenUpLength(expected), 1e-9);
  for (size_t s = 0; s < d.strokes.size(); ++s) {
    EXPECT_EQ(d.Points(d.strokes[s]).front().x, expected.Points(expected.strokes[s]).front().x)
        << s;
    EXPECT_EQ(d.Points(d.strokes[s]).front().y, expected.Points(expected.strokes[s]).front().y)
        << s;
  }
}

}  // namespace
