#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <set>
#include <vector>

#include "document/allocation.h"
#include "document/app_state.h"
#include "vectorize/chain_simplifier.h"
#include "vectorize/line_tracer.h"

namespace {

using Pixels = std::vector<std::pair<int, int>>;
using Codes = std::vector<ChainCode>;

// Puts a raster of the given line pixels into the document directly.
void SetRaster(int width, int height, const Pixels& on) {
  ResetDocument();
  app.imageWidth = width;
  app.imageHeight = height;
  app.grayRaster = AllocateBytes(static_cast<size_t>(width) * height);
  std::fill(app.grayRaster, app.grayRaster + width * height, 0);
  for (auto [x, y] : on) app.grayRaster[y * width + x] = 85;
}

Codes Chain() {
  return Codes(app.chainCodes, app.chainCodes + app.chainLength);
}

std::vector<std::pair<int, int>> Simplify(const Codes& codes, double epsilon, int mode,
                                          int startX = 0, int startY = 0) {
  Point out[kCriticalCapacity];
  const int n = SimplifyChain(codes.data(), startX, startY, static_cast<int>(codes.size()), epsilon,
                              mode, out);
  std::vector<std::pair<int, int>> result;
  for (int i = 0; i < n; ++i) result.push_back({out[i].x, out[i].y});
  return result;
}

class TracerTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetDocument(); }
};

TEST_F(TracerTest, StraightLinesTraceFromTheirFirstEnd) {
  Pixels horizontal, vertical, diagonal;
  for (int x = 2; x <= 9; ++x) horizontal.push_back({x, 5});
  for (int y = 1; y <= 6; ++y) vertical.push_back({4, y});
  for (int i = 1; i <= 5; ++i) diagonal.push_back({i, i});
  struct Case {
    const Pixels& pixels;
    Point start;
    Codes chain;
  } cases[] = {{horizontal, {2, 5}, Codes(7, 5)},
               {vertical, {4, 1}, Codes(5, 3)},
               {diagonal, {1, 1}, Codes(4, 4)}};
  for (const Case& c : cases) {
    SetRaster(12, 10, c.pixels);
    EXPECT_EQ(TraceLine(), 0);
    EXPECT_EQ(app.chainStart.x, c.start.x);
    EXPECT_EQ(app.chainStart.y, c.start.y);
    EXPECT_EQ(Chain(), c.chain);
  }
}

TEST_F(TracerTest, NeighbourCountFollowsTheBorderRules) {
  // Decoys lie where a wrong probe (the far side of the border, wrapping
  // to the next row) would find them.
  SetRaster(6, 5, {{0, 2}, {1, 2}, {5, 1}, {3, 0}, {2, 0}, {3, 4}, {4, 4}, {5, 3}});
  EXPECT_EQ(CountLineNeighbours(0, 2), 1);  // left edge: (1, 2); (5, 1) is the row above's end
  EXPECT_EQ(CountLineNeighbours(3, 0), 1);  // top edge
  EXPECT_EQ(CountLineNeighbours(3, 4), 1);  // bottom edge
  EXPECT_EQ(CountLineNeighbours(5, 3), 1);  // right edge: (4, 4)
  EXPECT_EQ(CountLineNeighbours(5, 1), 0);  // right edge: (0, 2) is the next row's start
  SetRaster(6, 5, {});
  EXPECT_EQ(CountLineNeighbours(0, 0), 1);  // corners count 1 without looking
  EXPECT_EQ(CountLineNeighbours(5, 0), 1);
  EXPECT_EQ(CountLineNeighbours(0, 4), 1);
  EXPECT_EQ(CountLineNeighbours(5, 4), 1);
  SetRaster(1, 4, {{0, 0}, {0, 1}, {0, 2}});
  EXPECT_EQ(CountLineNeighbours(0, 1), 2);  // one pixel wide: left-edge rule
  SetRaster(4, 1, {{0, 0}, {1, 0}, {2, 0}});
  EXPECT_EQ(CountLineNeighbours(1, 0), 2);  // one pixel high: top-edge rule
}

TEST_F(TracerTest, LineEndsOnTheBottomRowAndCorners) {
  Pixels bottom;
  for (int x = 3; x <= 7; ++x) bottom.push_back({x, 9});
  SetRaster(12, 10, bottom);
  EXPECT_EQ(CountLineNeighbours(3, 9), 1);
  EXPECT_EQ(CountLineNeighbours(5, 9), 2);
  SetRaster(8, 8, {{0, 0}, {1, 0}, {1, 1}, {2, 2}});
  bool found = false;
  const Point start = FindStartPixel(&found);
  EXPECT_TRUE(found);
  EXPECT_EQ(start.x, 0);
  EXPECT_EQ(start.y, 0);
  SetRaster(8, 8, {{7, 7}});
  EXPECT_EQ(TraceLine(), 0);
  EXPECT_EQ(app.chainStart.x, 7);
  EXPECT_EQ(app.chainLength, 0);
}

TEST_F(TracerTest, NoStartWhereNoPixelHasOneNeighbour) {
  Pixels thick;
  for (int x = 2; x <= 8; ++x) thick.push_back({x, 3}), thick.push_back({x, 4});
  const Pixels cases[] = {{},
                          {{4, 4}},
                          thick,
                          {{1, 1}, {2, 1}, {2, 2}},
                          {{2, 1}, {3, 2}, {2, 3}, {1, 2}}};  // a closed ring
  for (const Pixels& pixels : cases) {
    SetRaster(10, 8, pixels);
    app.chainLength = 0;
    EXPECT_EQ(TraceLine(), kTraceNoStart);
    EXPECT_EQ(app.chainLength, 0);
  }
  ResetDocument();  // no picture at all: the raster is not there to read
  EXPECT_EQ(RunVectorization(1), kTraceNoStart);
  EXPECT_EQ(app.criticalCount, 0);
}

TEST_F(TracerTest, CornersAreCutOrCircledInCodeOrder) {
  SetRaster(10, 10, {{1, 1}, {2, 1}, {3, 2}, {3, 3}});
  EXPECT_EQ(TraceLine(), 0);
  EXPECT_EQ(Chain(), (Codes{5, 4, 3}));

  SetRaster(10, 10, {{3, 3}, {3, 4}, {3, 5}, {3, 6}, {4, 6}, {5, 6}, {6, 6}});
  EXPECT_EQ(TraceLine(), 0);
  EXPECT_EQ(app.chainStart.x, 3);
  EXPECT_EQ(app.chainStart.y, 3);
  EXPECT_EQ(Chain(), (Codes{3, 3, 4, 5, 5}));

  SetRaster(10, 10, {{3, 1}, {3, 2}, {4, 3}, {5, 3}, {6, 3}});
  EXPECT_EQ(TraceLine(), 0);
  EXPECT_EQ(Chain(), (Codes{3, 4, 5, 5}));
}

TEST_F(TracerTest, ASquareCornerCirclesUntilTheCapacity) {
  SetRaster(10, 10, {{1, 1}, {2, 1}, {3, 1}, {3, 2}, {3, 3}});
  EXPECT_EQ(TraceLine(), kTraceChainCut);
  ASSERT_EQ(app.chainLength, kChainCapacity);
  EXPECT_EQ(app.chainCodes[0], 5u);
  EXPECT_EQ(app.chainCodes[1], 4u);
  EXPECT_EQ(app.chainCodes[2], 7u);
  for (int i = 3; i < kChainCapacity; ++i) {
    ASSERT_EQ(app.chainCodes[i], (Codes{1, 4, 7})[i % 3]) << i;
  }
  // The whole run keeps the cut chain, simplifies it and says it was cut.
  app.epsilon = 1.0;
  EXPECT_EQ(RunVectorization(1) & (kTraceChainCut | kTraceNoStart), kTraceChainCut);
  EXPECT_EQ(app.chainLength, kChainCapacity);
  EXPECT_GT(app.criticalCount, 1);
}

TEST(Simplifier, ShortAndStraightChains) {
  EXPECT_EQ(Simplify({}, 1.0, 1, 3, 4), (std::vector<std::pair<int, int>>{{3, 4}}));
  EXPECT_EQ(Simplify({6}, 1.0, 1, 3, 4), (std::vector<std::pair<int, int>>{{3, 4}, {4, 3}}));
  for (ChainCode c = 1; c <= 8; ++c) {
    for (int mode : {0, 1}) {
      for (double eps : {0.001, 1.0, 1000.0}) {
        const auto points = Simplify(Codes(40, c), eps, mode, 50, 50);
        ASSERT_EQ(points.size(), 2u);
        EXPECT_EQ(points[1], std::make_pair(50 + 40 * kStepX[c], 50 + 40 * kStepY[c]));
      }
    }
  }
}

TEST(Simplifier, LShapesInBothModesAndTolerances) {
  Codes l(5, 5);
  l.insert(l.end(), 5, 3);
  using P = std::vector<std::pair<int, int>>;
  EXPECT_EQ(Simplify(l, 1.0, 1), (P{{0, 0}, {5, 1}, {5, 5}}));
  EXPECT_EQ(Simplify(l, 1.0, 0), (P{{0, 0}, {5, 2}, {5, 5}}));
  EXPECT_EQ(Simplify(l, 0.5, 1), (P{{0, 0}, {5, 0}, {5, 5}}));
  EXPECT_EQ(Simplify(l, 0.5, 0), (P{{0, 0}, {5, 1}, {5, 5}}));
}

TEST(Simplifier, ExactlyEpsilonAwayIsNoBreak) {
  using P = std::vector<std::pair<int, int>>;
  EXPECT_EQ(Simplify({4, 6}, 1.0, 1), (P{{0, 0}, {2, 0}}));
  EXPECT_EQ(Simplify({4, 6}, 0.999, 1), (P{{0, 0}, {1, 1}, {2, 0}}));
}

TEST(Simplifier, ClosedAndOutAndBackPaths) {
  using P = std::vector<std::pair<int, int>>;
  const Codes square{5, 5, 3, 3, 1, 1, 7, 7};
  EXPECT_EQ(Simplify(square, 1.0, 1), (P{{0, 0}, {2, 1}, {0, 1}, {0, 0}}));
  EXPECT_EQ(Simplify(square, 1.0, 0), (P{{0, 0}, {2, 2}, {0, 0}}));
  EXPECT_EQ(Simplify({5, 5, 1, 1}, 1.0, 1), (P{{0, 0}}));
  EXPECT_EQ(Simplify({5, 5, 1, 1}, 1.0, 0), (P{{0, 0}}));
}

TEST(Simplifier, StopsWritingAtTheCapacityAndSaysSo) {
  Codes zigzag;
  for (int i = 0; i < 3000; ++i) zigzag.push_back(i % 2 ? 4 : 6);
  Point out[kCriticalCapacity];
  bool cut = false;
  const int all = SimplifyChain(zigzag.data(), 0, 0, 3000, 0.1, 1, out, kCriticalCapacity, &cut);
  EXPECT_EQ(all, kCriticalCapacity);
  EXPECT_TRUE(cut);
  Point few[3];
  EXPECT_EQ(SimplifyChain(zigzag.data(), 0, 0, 2, 0.1, 1, few, 3, &cut), 3);
  EXPECT_FALSE(cut);  // exactly full is not cut
  EXPECT_EQ(SimplifyChain(zigzag.data(), 0, 0, 3, 0.1, 1, few, 3, &cut), 3);
  EXPECT_TRUE(cut);
}

TEST(Simplifier, InvalidCodesLeaveThePositionAlone) {
  Point path[4];
  const ChainCode codes[] = {5, 0, 9};
  ChainToPoints(codes, 2, 2, 3, path);
  EXPECT_EQ(path[3].x, 3);
  EXPECT_EQ(path[3].y, 2);
}

// Thin random lines from chained Bresenham segments whose turns never make
// a square corner, and which never touch themselves.
Pixels RandomThinLine(std::mt19937& random, int size) {
  Pixels pixels{{size / 2, size / 2}};
  std::set<std::pair<int, int>> used(pixels.begin(), pixels.end());
  int lastCode = 0;
  for (int segment = 0; segment < 6; ++segment) {
    const int length = 3 + random() % 12;
    const int slope = random() % 5;      // minor steps every so often
    int major = 1 + 2 * (random() % 4);  // 1, 3, 5, 7: axis codes
    if (major == static_cast<int>(ReverseCode(lastCode)) || major == lastCode)
      major = (major + 1) % 8 + 1;
    const int minor = major % 8 + 1;  // the diagonal next to it
    int error = 0;
    for (int s = 0; s < length; ++s) {
      error += slope;
      const int code = error >= 5 ? (error -= 5, minor) : major;
      const auto [x, y] = pixels.back();
      const std::pair<int, int> next{x + kStepX[code], y + kStepY[code]};
      if (next.first < 1 || next.second < 1 || next.first >= size - 1 || next.second >= size - 1)
        return pixels;
      // The new pixel may touch only the current end.
      for (ChainCode d = 1; d <= 8; ++d) {
        const std::pair<int, int> n{next.first + kStepX[d], next.second + kStepY[d]};
        if (n != pixels.back() && used.count(n)) return pixels;
      }
      if (pixels.size() >= 2) {
        const auto before = pixels[pixels.size() - 2];
        if (std::abs(before.first - next.first) <= 1 && std::abs(before.second - next.second) <= 1)
          return pixels;
      }
      pixels.push_back(next);
      used.insert(next);
      lastCode = code;
    }
  }
  return pixels;
}

TEST_F(TracerTest, RandomThinLinesAreWalkedEndToEndAndFitWithinEpsilon) {
  std::mt19937 random(12345);
  int traced = 0;
  for (int round = 0; round < 400; ++round) {
    const Pixels line = RandomThinLine(random, 64);
    if (line.size() < 3) continue;
    SetRaster(64, 64, line);
    app.epsilon = std::vector<double>{0.5, 1.0, 2.5}[round % 3];
    ASSERT_EQ(RunVectorization(1), 0) << round;
    ++traced;
    // The walk visits every pixel once, from one end to the other.
    ASSERT_EQ(app.chainLength + 1, static_cast<int>(line.size())) << round;
    std::vector<Point> path(app.chainLength + 1);
    ChainToPoints(app.chainCodes, app.chainStart.x, app.chainStart.y, app.chainLength, path.data());
    std::set<std::pair<int, int>> visited;
    for (const Point& p : path) visited.insert({p.x, p.y});
    const std::set<std::pair<int, int>> expected(line.begin(), line.end());
    ASSERT_EQ(visited, expected) << round;
    // Every pixel lies within epsilon of its segment's line.
    size_t k = 0;
    for (int c = 0; c + 1 < app.criticalCount; ++c) {
      const Point a = app.criticalPoints[c], b = app.criticalPoints[c + 1];
      while (path[k].x != a.x || path[k].y != a.y) ++k;
      const double len = std::hypot(b.x - a.x, b.y - a.y);
      for (; path[k].x != b.x || path[k].y != b.y; ++k) {
        if (len == 0) continue;
        const double cross =
            double(path[k].y - a.y) * (b.x - a.x) - double(path[k].x - a.x) * (b.y - a.y);
        ASSERT_LE(std::fabs(cross / len), app.epsilon) << round;
      }
    }
    EXPECT_EQ(path.back().x, app.criticalPoints[app.criticalCount - 1].x);
    EXPECT_EQ(path.back().y, app.criticalPoints[app.criticalCount - 1].y);
  }
  EXPECT_GT(traced, 200);
}

TEST_F(TracerTest, EightPixelLineGivesSevenCodesAndTwoPoints) {
  Pixels line;
  for (int x = 10; x < 18; ++x) line.push_back({x, 20});
  SetRaster(40, 30, line);
  app.criticalCount = 99;
  EXPECT_EQ(RunVectorization(1), 0);
  EXPECT_EQ(app.chainLength, 7);
  EXPECT_EQ(app.criticalCount, 2);
}

}  // namespace
