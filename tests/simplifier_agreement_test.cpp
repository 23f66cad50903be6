#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "document/app_state.h"
#include "tests/straightforward_simplifier.h"
#include "vectorize/chain_simplifier.h"
#include "vectorize/line_tracer.h"

// The hull-based SimplifyChain against the plain statement of the fit: the
// same points, the same count and the same cut report on every input.
namespace {

using Codes = std::vector<ChainCode>;

void ExpectSameFit(const Codes& codes, double epsilon, int mode, int capacity,
                   const std::string& what) {
  std::vector<Point> fast(capacity), plain(capacity);
  bool fastCut = true, plainCut = true;
  const int n = static_cast<int>(codes.size());
  const int fastCount =
      SimplifyChain(codes.data(), 7, -3, n, epsilon, mode, fast.data(), capacity, &fastCut);
  const int plainCount = SimplifyChainStraightforward(codes.data(), 7, -3, n, epsilon, mode,
                                                      plain.data(), capacity, &plainCut);
  ASSERT_EQ(fastCount, plainCount) << what << " eps " << epsilon << " mode " << mode;
  ASSERT_EQ(fastCut, plainCut) << what << " eps " << epsilon << " mode " << mode;
  for (int i = 0; i < fastCount; ++i) {
    ASSERT_EQ(fast[i].x, plain[i].x) << what << " point " << i << " eps " << epsilon;
    ASSERT_EQ(fast[i].y, plain[i].y) << what << " point " << i << " eps " << epsilon;
  }
}

void ExpectSameFitEverywhere(const Codes& codes, const std::vector<double>& epsilons,
                             const std::string& what) {
  for (double eps : epsilons) {
    for (int mode : {0, 1}) ExpectSameFit(codes, eps, mode, kCriticalCapacity, what);
  }
}

const std::vector<double> kTolerances{1e-9, 0.3, 0.5, 0.7, 1.0, 1.5, 2.0, 3.3, 10.0, 1000.0, 1e12};

// An Archimedean spiral walked pixel by pixel; step sets the winding gap.
Codes Spiral(int length, double step) {
  Codes codes;
  int x = 0, y = 0;
  for (double t = 0.5; static_cast<int>(codes.size()) < length; t += 0.002) {
    const int tx = static_cast<int>(std::lround(step * t * std::cos(t)));
    const int ty = static_cast<int>(std::lround(step * t * std::sin(t)));
    while ((x != tx || y != ty) && static_cast<int>(codes.size()) < length) {
      const int sx = (tx > x) - (tx < x), sy = (ty > y) - (ty < y);
      for (ChainCode c = 1; c <= 8; ++c) {
        if (kStepX[c] == sx && kStepY[c] == sy) codes.push_back(c);
      }
      x += sx;
      y += sy;
    }
  }
  return codes;
}

// A digital straight line of slope rise / run in the octant of code major.
Codes DigitalLine(int length, int rise, int run, ChainCode major) {
  const ChainCode minor = major % 8 + 1;
  Codes codes;
  int error = 0;
  for (int i = 0; i < length; ++i) {
    error += rise;
    if (error >= run) {
      error -= run;
      codes.push_back(minor);
    } else {
      codes.push_back(major);
    }
  }
  return codes;
}

TEST(SimplifierAgreement, RandomWalksWithEveryTolerance) {
  std::mt19937 random(2026);
  for (int round = 0; round < 150; ++round) {
    Codes codes(random() % 1500);
    // Some walks keep a heading for a while, some wander; a few carry bad codes.
    const int persistence = random() % 4;
    ChainCode c = 1 + random() % 8;
    for (auto& code : codes) {
      if (random() % 4 >= static_cast<unsigned>(persistence)) c = 1 + random() % 8;
      code = c;
      if (round % 10 == 9 && random() % 50 == 0) code = random() % 2 ? 0 : 200;
    }
    ExpectSameFitEverywhere(codes, kTolerances, "walk " + std::to_string(round));
  }
}

TEST(SimplifierAgreement, CirclingAndOutAndBackWalks) {
  Codes triangle;  // the tracer's square-corner loop
  for (int i = 0; i < 3000; ++i) triangle.push_back((Codes{1, 4, 7})[i % 3]);
  ExpectSameFitEverywhere(triangle, kTolerances, "triangle loop");
  Codes square;
  for (int lap = 0; lap < 60; ++lap) {
    for (ChainCode c : {5, 3, 1, 7}) square.insert(square.end(), 1 + lap % 9, c);
  }
  ExpectSameFitEverywhere(square, kTolerances, "growing squares");
  Codes back;
  for (int i = 0; i < 40; ++i) {
    back.insert(back.end(), 30, 4);
    back.insert(back.end(), 30, 8);
  }
  ExpectSameFitEverywhere(back, kTolerances, "out and back");
  std::mt19937 random(7);
  for (int round = 0; round < 30; ++round) {
    Codes loops;  // random closed loops, one after another on the same spot
    while (loops.size() < 1200) {
      Codes half;
      for (int k = 0, len = 1 + random() % 20; k < len; ++k) half.push_back(1 + random() % 8);
      loops.insert(loops.end(), half.begin(), half.end());
      for (auto it = half.rbegin(); it != half.rend(); ++it) loops.push_back(ReverseCode(*it));
    }
    ExpectSameFitEverywhere(loops, kTolerances, "loops " + std::to_string(round));
  }
}

TEST(SimplifierAgreement, SpiralsAndLongGentleLines) {
  for (double step : {0.3, 1.0, 2.0, 8.0}) {
    ExpectSameFitEverywhere(Spiral(4000, step), kTolerances, "spiral " + std::to_string(step));
  }
  for (auto [rise, run] : {std::pair{0, 1}, {1, 1}, {1, 2}, {2, 7}, {13, 29}, {1, 1000}}) {
    for (ChainCode major : {1, 3, 5, 7}) {
      ExpectSameFitEverywhere(DigitalLine(3000, rise, run, major), {0.2, 0.5, 1.0, 1000.0},
                              "line " + std::to_string(rise) + "/" + std::to_string(run));
    }
  }
  Codes bend = DigitalLine(2000, 1, 40, 5);  // a slow curve: the slope grows
  for (int part = 2; part < 12; ++part) {
    const Codes more = DigitalLine(400, part, 40, 5);
    bend.insert(bend.end(), more.begin(), more.end());
  }
  ExpectSameFitEverywhere(bend, kTolerances, "slow bend");
}

// Tolerances equal to a distance that occurs in the chain: the break test
// must compare it exactly as the plain fit does.
TEST(SimplifierAgreement, TolerancesThatEqualADistanceInTheChain) {
  std::mt19937 random(99);
  for (int round = 0; round < 60; ++round) {
    Codes codes(20 + random() % 400);
    for (auto& code : codes) code = 1 + random() % 8;
    std::vector<Point> path(codes.size() + 1);
    ChainToPoints(codes.data(), 7, -3, static_cast<int>(codes.size()), path.data());
    std::vector<double> ties;
    for (int t = 0; t < 6; ++t) {
      const int a = random() % (codes.size() - 2);
      const int f = a + 2 + random() % (codes.size() - a - 1);
      const int k = a + 1 + random() % (f - a - 1);
      const int64_t dx = path[f].x - path[a].x, dy = path[f].y - path[a].y;
      if (dx == 0 && dy == 0) continue;
      const int64_t cross = (path[k].y - path[a].y) * dx - (path[k].x - path[a].x) * dy;
      const double len = std::sqrt(static_cast<double>(dx * dx + dy * dy));
      ties.push_back(std::fabs(static_cast<double>(cross) / len));
    }
    ExpectSameFitEverywhere(codes, ties, "ties " + std::to_string(round));
  }
}

TEST(SimplifierAgreement, CapacityAndTheCutReport) {
  std::mt19937 random(5);
  for (int round = 0; round < 40; ++round) {
    Codes codes(200 + random() % 3000);
    for (auto& code : codes) code = 1 + random() % 8;
    for (int capacity : {1, 2, 3, 17, kCriticalCapacity}) {
      for (int mode : {0, 1}) ExpectSameFit(codes, 0.4, mode, capacity, "capacity");
    }
  }
  // A zigzag that needs exactly as many points as fit, and one more.
  Codes zigzag;
  for (int i = 0; i < 998; ++i) zigzag.push_back(i % 2 ? 4 : 6);
  for (int size : {497, 498, 499, 998}) {
    const Codes part(zigzag.begin(), zigzag.begin() + size);
    for (int mode : {0, 1}) ExpectSameFit(part, 0.1, mode, kCriticalCapacity, "zigzag");
  }
}

// Paths of any steps, as the drawing mode passes its centrelines (fixed
// point, 256 to the pixel): curves whose wobble builds wide hulls, turning
// any way and doubling back, so that points join the hulls at either end
// and in between.
TEST(SimplifierAgreement, FixedPointPathsOfAnySteps) {
  std::mt19937 random(31);
  for (int round = 0; round < 200; ++round) {
    const int n = 2 + static_cast<int>(random() % 1500);
    std::vector<Point> path(static_cast<size_t>(n) + 1);
    double x = 0, y = 0, heading = random() % 628 / 100.0;
    const double turn = random() % 100 / 2000.0, wobble = random() % 200;
    const double back = round % 4 == 3 ? 0.02 : 0;  // now and then a reversal
    for (Point& p : path) {
      heading += turn * std::normal_distribution<>(0, 1)(random);
      if (random() % 1000 < back * 1000) heading += 3.14159;
      x += 256 * std::cos(heading) + wobble * std::normal_distribution<>(0, 1)(random);
      y += 256 * std::sin(heading) + wobble * std::normal_distribution<>(0, 1)(random);
      p = {static_cast<int32_t>(std::lround(x)), static_cast<int32_t>(std::lround(y))};
    }
    for (double eps : {0.1, 0.3, 1.0, 4.0}) {
      for (int mode : {0, 1}) {
        std::vector<Point> fast(path.size()), plain(path.size());
        const int fastCount = SimplifyPoints(path.data(), n, eps * 256, mode, fast.data(), n + 1);
        const int plainCount =
            SimplifyPointsStraightforward(path.data(), n, eps * 256, mode, plain.data(), n + 1);
        ASSERT_EQ(fastCount, plainCount) << "round " << round << " eps " << eps;
        for (int i = 0; i < fastCount; ++i) {
          ASSERT_EQ(fast[i].x, plain[i].x) << "round " << round << " point " << i;
          ASSERT_EQ(fast[i].y, plain[i].y) << "round " << round << " point " << i;
        }
      }
    }
  }
}

// Coordinates far past 32767: the cross products need 64 bits.
TEST(SimplifierAgreement, LongDiagonalsAreExact) {
  Codes codes(50000, 4);
  codes.insert(codes.end(), 50000, 6);
  Point out[kCriticalCapacity];
  const int n = SimplifyChain(codes.data(), 0, 60000, 100000, 1.0, 1, out);
  ASSERT_EQ(n, 3);
  EXPECT_EQ(out[1].x, 50000);
  EXPECT_EQ(out[1].y, 110000);
  EXPECT_EQ(out[2].x, 100000);
  EXPECT_EQ(out[2].y, 60000);
}

}  // namespace
