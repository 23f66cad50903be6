// Which pixels of a luminance picture are ink by one threshold for the
// whole picture (Otsu's, or a given one): it splits the picture in two
// classes, and the ink is the dark or the light one, by default the
// smaller. (ink/local_ink.h decides against the paper around each pixel.)
#pragma once

#include <array>
#include <cstdint>

#include "decode/gray_image.h"

enum class InkKind { kAuto, kDark, kLight };

constexpr int kThresholdOtsu = -1;
constexpr int kThresholdLocal = -2;

struct InkOptions {
  InkKind kind = InkKind::kAuto;
  int threshold = kThresholdLocal;  // 0 to 255, or one of the two above
  int threads = 1;                  // how many threads the picture may use
};

using Histogram = std::array<uint64_t, 256>;

struct InkDecision {
  bool found = false;  // false when the threshold leaves one class only
  bool dark = true;    // dark ink is luminance <= threshold, light ink above it
  int threshold = 0;
  bool local = false;  // the threshold is relative to the paper around
  uint64_t inkPixels = 0;
};

Histogram LuminanceHistogram(const GrayImage& image, int threads = 1);

// The threshold t that best separates luminance <= t from luminance > t
// (largest between-class variance); the middle of the range when several t
// separate equally well. -1 when the picture has a single luminance.
int OtsuThreshold(const Histogram& histogram);

InkDecision DecideInk(const Histogram& histogram, const InkOptions& options);

// Rewrites the luminance in place as the mask: 1 for ink, 0 for paper.
void MakeInkMask(GrayImage& image, const InkDecision& decision, int threads = 1);

// The ink by the options: against the paper around each pixel (the
// default), or one threshold for the whole picture. Rewrites the luminance
// in place as the mask.
InkDecision DecideInkMask(GrayImage& image, const InkOptions& options);
