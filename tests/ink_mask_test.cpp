// The threshold and the choice of ink.
#include <gtest/gtest.h>

#include <cstring>

#include "ink/ink_mask.h"

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
