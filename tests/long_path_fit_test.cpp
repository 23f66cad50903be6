// A long path's fit shared by threads is the one-thread fit, point for
// point, wherever the parts fall and whether or not the parts' fits meet.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "drawing/long_path_fit.h"
#include "vectorize/chain_simplifier.h"

namespace {

// Compares the shared fit with the one-thread fit for parts of minPart
// points on 1 to 5 threads, writing the shared fit over a copy of the path.
void ExpectOneThreadFit(const std::vector<Point>& path, double epsilon, int minPart,
                        const char* what) {
  const int n = static_cast<int>(path.size()) - 1;
  std::vector<Point> plain(path.size());
  const int plainCount = SimplifyPoints(path.data(), n, epsilon, 1, plain.data(), n + 1);
  for (int threads = 1; threads <= 5; ++threads) {
    std::vector<Point> shared = path;
    const int count = FitLongPath(shared.data(), n, epsilon, shared.data(), threads, minPart);
    ASSERT_EQ(count, plainCount) << what << ": " << n << " points, eps " << epsilon << ", parts of "
                                 << minPart << " on " << threads;
    for (int i = 0; i < count; ++i) {
      ASSERT_TRUE(shared[i].x == plain[i].x && shared[i].y == plain[i].y)
          << what << ": point " << i << " of " << count << ", parts of " << minPart << " on "
          << threads;
    }
  }
}

TEST(LongPathFit, SmoothWobblyAndTurningPathsGiveTheOneThreadFit) {
  std::mt19937 random(12);
  for (int round = 0; round < 120; ++round) {
    const int n = 1 + static_cast<int>(random() % 6000);
    std::vector<Point> path(static_cast<size_t>(n) + 1);
    double x = 1000, y = 1000, heading = 0;
    const double turn = random() % 100 / 1000.0, wobble = random() % 150;
    for (Point& p : path) {
      heading += turn * std::normal_distribution<>(0, 1)(random);
      if (round % 5 == 4 && random() % 300 == 0) heading += 2.5;  // corners
      x += 256 * std::cos(heading) + wobble * std::normal_distribution<>(0, 1)(random);
      y += 256 * std::sin(heading) + wobble * std::normal_distribution<>(0, 1)(random);
      p = {static_cast<int32_t>(std::lround(x)), static_cast<int32_t>(std::lround(y))};
    }
    const double epsilon = 256 * (0.05 + random() % 400 / 100.0);
    ExpectOneThreadFit(path, epsilon, 1 + static_cast<int>(random() % 400), "random");
  }
}

// Straight lines and repeating steps, where the fits from different starts
// may run side by side without ever meeting; a point that stays put (the
// floater on the anchor).
TEST(LongPathFit, PathsWhoseFitsNeverMeetGiveTheOneThreadFit) {
  for (auto [rise, run] : {std::pair{0, 1}, {1, 1}, {1, 3}, {5, 17}}) {
    std::vector<Point> line;
    for (int i = 0; i < 5000; ++i) line.push_back({i * 256, (i * rise / run) * 256});
    for (double epsilon : {0.3, 0.7, 2.0, 1e9}) {
      ExpectOneThreadFit(line, 256 * epsilon, 100, "line");
      ExpectOneThreadFit(line, 256 * epsilon, 1, "line, parts of one point");
    }
  }
  std::vector<Point> zigzag, still(3000, Point{5, 5});
  for (int i = 0; i < 4000; ++i) zigzag.push_back({i * 128, (i % 2) * 256});
  for (double epsilon : {0.1, 0.5, 1.0}) {
    ExpectOneThreadFit(zigzag, 256 * epsilon, 37, "zigzag");
    ExpectOneThreadFit(still, 256 * epsilon, 10, "one point");
  }
  ExpectOneThreadFit({{3, 4}}, 256, 1, "no step");
  ExpectOneThreadFit({{3, 4}, {9, 9}}, 256, 1, "one step");
}

}  // namespace
