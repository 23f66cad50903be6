// The threshold and the choice of ink.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "ink/ink_mask.h"
#include "ink/paper_level.h"

namespace {

GrayImage Picture(int width, int height, uint8_t paper) {
  GrayImage image;
  image.width = width;
  image.height = height;
  image.pixels.reset(new uint8_t[width * height]);
  std::memset(image.pixels.get(), paper, width * height);
  return image;
}

TEST(Ink, OtsuSplitsTwoLevelsInTheMiddle) {
  Histogram h{};
  h[0] = 10;
  h[255] = 90;
  EXPECT_EQ(OtsuThreshold(h), 127);
  h = {};
  h[40] = 50;
  h[60] = 50;
  EXPECT_EQ(OtsuThreshold(h), 50);
}

TEST(Ink, OtsuSeparatesAntiAliasedEdgesFromBothLevels) {
  Histogram h{};
  h[20] = 300;                                  // ink
  h[235] = 5000;                                // paper
  for (int v = 21; v < 235; v += 10) h[v] = 3;  // edge pixels
  const int t = OtsuThreshold(h);
  EXPECT_GT(t, 60);
  EXPECT_LT(t, 200);
}

TEST(Ink, OnePictureLevelHasNoThresholdAndNoInk) {
  Histogram h{};
  h[255] = 100;
  EXPECT_EQ(OtsuThreshold(h), -1);
  EXPECT_FALSE(DecideInk(h, {}).found);
  // A fixed threshold that leaves everything on one side finds none either.
  h = {};
  h[10] = 5;
  h[20] = 5;
  EXPECT_FALSE(DecideInk(h, {InkKind::kAuto, 200}).found);
  EXPECT_TRUE(DecideInk(h, {InkKind::kAuto, 15}).found);
}

TEST(Ink, AutoTakesTheSmallerClassEitherWayRound) {
  Histogram h{};
  h[0] = 10;
  h[255] = 90;
  InkDecision d = DecideInk(h, {});
  EXPECT_TRUE(d.found);
  EXPECT_TRUE(d.dark);
  EXPECT_EQ(d.inkPixels, 10u);
  h[0] = 90;
  h[255] = 10;
  d = DecideInk(h, {});
  EXPECT_FALSE(d.dark);
  EXPECT_EQ(d.inkPixels, 10u);
  // Asked for, the larger class is the ink all the same.
  d = DecideInk(h, {InkKind::kDark, -1});
  EXPECT_TRUE(d.dark);
  EXPECT_EQ(d.inkPixels, 90u);
}

TEST(Ink, NearBlackBackgroundIsPaperNotLine) {
  // Light lines on (1, 1, 1): the window program's rule would make it all line.
  GrayImage image = Picture(8, 4, 1);
  image.Row(2)[1] = image.Row(2)[2] = image.Row(2)[3] = 250;
  const InkDecision d = DecideInk(LuminanceHistogram(image), {});
  ASSERT_TRUE(d.found);
  EXPECT_FALSE(d.dark);
  MakeInkMask(image, d);
  int ink = 0;
  for (int i = 0; i < 32; ++i) ink += image.pixels[i];
  EXPECT_EQ(ink, 3);
  EXPECT_EQ(image.Row(2)[2], 1);
}

TEST(Ink, ThresholdIsInclusiveForDarkAndExclusiveForLight) {
  GrayImage image = Picture(3, 1, 0);
  image.pixels[0] = 99, image.pixels[1] = 100, image.pixels[2] = 101;
  MakeInkMask(image, {true, true, 100, 0});
  EXPECT_EQ(image.pixels[0] + 2 * image.pixels[1] + 4 * image.pixels[2], 3);
  image.pixels[0] = 99, image.pixels[1] = 100, image.pixels[2] = 101;
  MakeInkMask(image, {true, false, 100, 0});
  EXPECT_EQ(image.pixels[0] + 2 * image.pixels[1] + 4 * image.pixels[2], 4);
}

TEST(Ink, HistogramCountsEveryPixelWhateverTheLength) {
  GrayImage image = Picture(7, 3, 9);
  image.pixels[20] = 200;
  const Histogram h = LuminanceHistogram(image);
  EXPECT_EQ(h[9], 20u);
  EXPECT_EQ(h[200], 1u);
}

}  // namespace

namespace {

constexpr InkOptions kLocal{InkKind::kAuto, kThresholdLocal};

// A page whose light falls from 95 % on the left to 30 % on the right, with
// grain of the given size (seeded), and lines of ink at a given share of
// the paper's luminance: a horizontal one on rows 40 to 42 and a vertical
// one on columns 100 to 102. Light ink (chalk) multiplies a dark board.
GrayImage LitPage(double inkShare, int grain, uint32_t seed, bool chalk = false) {
  constexpr int kWidth = 400, kHeight = 120;
  GrayImage image = Picture(kWidth, kHeight, 0);
  uint32_t state = seed;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const double light = 0.95 - 0.65 * x / (kWidth - 1);
      const bool line = (y >= 40 && y <= 42) || (x >= 100 && x <= 102);
      double v = 255 * light * (chalk ? (line ? 0.9 : 0.15) : (line ? inkShare : 1.0));
      state = state * 1664525u + 1013904223u;  // a fixed generator: the same grain everywhere
      v += grain ? static_cast<int>(state >> 16) % (2 * grain + 1) - grain : 0;
      image.Row(y)[x] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
    }
  }
  return image;
}

int MaskErrors(const GrayImage& mask) {
  int wrong = 0;
  for (int y = 0; y < mask.height; ++y) {
    for (int x = 0; x < mask.width; ++x) {
      const bool line = (y >= 40 && y <= 42) || (x >= 100 && x <= 102);
      wrong += mask.Row(y)[x] != line;
    }
  }
  return wrong;
}

TEST(LocalInk, FollowsThePaperWhereOneThresholdTakesTheDarkSideAsInk) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    GrayImage local = LitPage(0.3, 6, seed);
    const InkDecision decision = DecideInkMask(local, kLocal);
    ASSERT_TRUE(decision.found);
    EXPECT_TRUE(decision.dark);
    EXPECT_TRUE(decision.local);
    EXPECT_EQ(MaskErrors(local), 0);
    GrayImage global = LitPage(0.3, 6, seed);
    ASSERT_TRUE(DecideInkMask(global, {InkKind::kAuto, kThresholdOtsu}).found);
    EXPECT_GT(MaskErrors(global), 1000);  // the shadowed half is ink
  }
}

TEST(LocalInk, FaintLineStaysWholeAndGrainAloneIsNoInk) {
  GrayImage faint = LitPage(0.7, 6, 4);  // pencil: a third of ink's contrast or less
  ASSERT_TRUE(DecideInkMask(faint, kLocal).found);
  EXPECT_EQ(MaskErrors(faint), 0);
  GrayImage empty = LitPage(1.0, 8, 5);  // only paper, grain and the fall of the light
  EXPECT_FALSE(DecideInkMask(empty, kLocal).found);
}

// Strokes wider than a cell over half of the cells around: a U of legs
// 18 px wide and 16 px apart in a picture 94 px wide (seed 4467 of the
// random drawings), upright and on its side. Its ink is a third of the
// picture, and dark.
TEST(LocalInk, ThickInkOverHalfTheCellsIsStillTheSmallerPart) {
  for (const bool onItsSide : {false, true}) {
    SCOPED_TRACE(onItsSide);
    const int w = 94, h = 213;
    GrayImage image = onItsSide ? Picture(h, w, 255) : Picture(w, h, 255);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        // The centreline: legs at x 30 and 64.6 from y 30 down to 166,
        // and the half circle of radius 17.3 below.
        const double dx = std::fabs(x - 47.3), leg = std::fabs(dx - 17.3);
        const double d = y <= 166 ? std::hypot(leg, std::max(0.0, 30.0 - y))
                                  : std::fabs(std::hypot(dx, y - 166.0) - 17.3);
        if (d <= 9) (onItsSide ? image.Row(x)[y] : image.Row(y)[x]) = 0;
      }
    }
    const InkDecision decision = DecideInkMask(image, kLocal);
    ASSERT_TRUE(decision.found);
    EXPECT_TRUE(decision.dark);
  }
}

TEST(LocalInk, ChalkOnADarkBoardIsLightInk) {
  GrayImage chalk = LitPage(0, 4, 6, true);
  const InkDecision decision = DecideInkMask(chalk, kLocal);
  ASSERT_TRUE(decision.found);
  EXPECT_FALSE(decision.dark);
  EXPECT_EQ(MaskErrors(chalk), 0);
}

// The threads share the picture's rows and pixels, not the decision: the
// same mask and figures on one thread as on two or three, for dark ink,
// chalk, a faint line and the global threshold.
TEST(LocalInk, SameMaskOnAnyNumberOfThreads) {
  const auto lit = [](int kind) {
    return kind == 0 ? LitPage(0.3, 6, 7) : kind == 1 ? LitPage(0, 4, 8, true) : LitPage(0.7, 6, 9);
  };
  for (int kind = 0; kind < 3; ++kind) {
    for (int threshold : {kThresholdLocal, kThresholdOtsu}) {
      SCOPED_TRACE(testing::Message() << "kind " << kind << ", threshold " << threshold);
      GrayImage one = lit(kind);
      const InkDecision first = DecideInkMask(one, {InkKind::kAuto, threshold, 1});
      for (int threads : {2, 3}) {
        GrayImage many = lit(kind);
        const InkDecision d = DecideInkMask(many, {InkKind::kAuto, threshold, threads});
        EXPECT_EQ(d.found, first.found);
        EXPECT_EQ(d.dark, first.dark);
        EXPECT_EQ(d.threshold, first.threshold);
        EXPECT_EQ(d.inkPixels, first.inkPixels);
        EXPECT_TRUE(
            std::equal(many.pixels.get(), many.pixels.get() + many.PixelCount(), one.pixels.get()));
      }
    }
  }
}

TEST(LocalInk, OnEvenPaperTheInkIsWhatIsAtLeastHalfCovered) {
  // A stroke 5 px wide at a slant, anti-aliased by 5 x 5 samples a pixel
  // (no pixel covered exactly a half), ink at 20 on paper at 240.
  GrayImage image = Picture(120, 90, 240);
  std::vector<bool> half(image.PixelCount());
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      int inside = 0;
      for (int sy = 0; sy < 5; ++sy) {
        for (int sx = 0; sx < 5; ++sx) {
          const double px = x + (sx + 0.5) / 5 - 0.5, py = y + (sy + 0.5) / 5 - 0.5;
          inside += std::fabs(0.6 * px - 0.8 * py + 10) <= 2.5 && px > 15 && px < 100;
        }
      }
      image.Row(y)[x] = static_cast<uint8_t>(std::lround(240 - 220 * inside / 25.0));
      half[static_cast<size_t>(y) * image.width + x] = inside >= 13;
    }
  }
  ASSERT_TRUE(DecideInkMask(image, kLocal).found);
  int wrong = 0;
  for (uint64_t i = 0; i < image.PixelCount(); ++i) wrong += (image.pixels[i] == 1) != half[i];
  EXPECT_EQ(wrong, 0);
}

}  // namespace

namespace {

// A grid's windows picked the plain way: every window gathered and sorted.
std::vector<uint8_t> PickedPlainly(std::vector<uint8_t> grid, int columns, int rows, int radius,
                                   bool alongRows, int which) {
  const std::vector<uint8_t> in = grid;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      std::vector<uint8_t> window;
      for (int k = -radius; k <= radius; ++k) {
        const int rr = alongRows ? r : r + k, cc = alongRows ? c + k : c;
        if (rr >= 0 && cc >= 0 && rr < rows && cc < columns)
          window.push_back(in[rr * columns + cc]);
      }
      std::sort(window.begin(), window.end());
      grid[r * columns + c] = which == 0 ? window.back() : window.front();
    }
  }
  return grid;
}

// The closing slid along the rows and columns, and the bulk slid along
// the rows, against every window gathered and sorted: on random grids with
// runs of equal levels, at radii from 0 to past the grid's size.
TEST(PaperLevel, SlidingWindowsPickAsSortedWindowsDo) {
  std::mt19937 random(21);
  for (int trial = 0; trial < 60; ++trial) {
    const int columns = 1 + random() % 40, rows = 1 + random() % 30, radius = random() % 12;
    SCOPED_TRACE(testing::Message() << columns << " x " << rows << ", radius " << radius);
    std::vector<uint8_t> levels(columns * rows);
    for (uint8_t& v : levels) v = random() % 4 ? 200 + random() % 8 : random() % 256;
    // The closing runs on the grid widened by its edge's own levels.
    const int wide = columns + 2 * radius, high = rows + 2 * radius;
    std::vector<uint8_t> grid(wide * high);
    for (int r = 0; r < high; ++r) {
      for (int c = 0; c < wide; ++c) {
        grid[r * wide + c] = levels[std::clamp(r - radius, 0, rows - 1) * columns +
                                    std::clamp(c - radius, 0, columns - 1)];
      }
    }
    for (int which : {0, 1}) {
      grid = PickedPlainly(grid, wide, high, radius, true, which);
      grid = PickedPlainly(grid, wide, high, radius, false, which);
    }
    std::vector<uint8_t> closed(columns * rows);
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < columns; ++c)
        closed[r * columns + c] = grid[(r + radius) * wide + c + radius];
    }
    EXPECT_TRUE(PaperLevels(levels, columns, rows, radius) == closed);
    // The bulk: the median of the three quartiles of every cell in the
    // square window about the middle row of the cell's group of rows.
    CellStatistics cells;
    cells.columns = columns, cells.rows = rows;
    cells.low = cells.median = cells.high = levels;
    for (uint8_t& v : cells.median) v = static_cast<uint8_t>(std::min(255, v + 30));
    for (uint8_t& v : cells.high) v = static_cast<uint8_t>(std::min(255, v + 60));
    std::vector<uint8_t> bulk(levels.size());
    for (int r = 0; r < rows; ++r) {
      const int middle = std::min(rows - 1, r / kBulkRows * kBulkRows + kBulkRows / 2);
      for (int c = 0; c < columns; ++c) {
        std::vector<uint8_t> window;
        for (int rr = std::max(0, middle - radius); rr <= std::min(rows - 1, middle + radius);
             ++rr) {
          for (int cc = std::max(0, c - radius); cc <= std::min(columns - 1, c + radius); ++cc) {
            const int i = rr * columns + cc;
            window.insert(window.end(), {cells.low[i], cells.median[i], cells.high[i]});
          }
        }
        std::sort(window.begin(), window.end());
        bulk[r * columns + c] = window[window.size() / 2];
      }
    }
    EXPECT_TRUE(BulkLevels(cells, radius, 1 + trial % 3) == bulk);
  }
}

}  // namespace
