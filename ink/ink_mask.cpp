#include "ink/ink_mask.h"

#include <algorithm>
#include <vector>

#include "ink/local_ink.h"
#include "parallel/parts.h"

Histogram LuminanceHistogram(const GrayImage& image, int threads) {
  const uint8_t* p = image.pixels.get();
  const auto count = [p](int64_t begin, int64_t end) {
    // Four tables so that runs of equal pixels do not wait on one counter.
    uint64_t counts[4][256] = {};
    int64_t i = begin;
    for (; i + 4 <= end; i += 4) {
      ++counts[0][p[i]];
      ++counts[1][p[i + 1]];
      ++counts[2][p[i + 2]];
      ++counts[3][p[i + 3]];
    }
    for (; i < end; ++i) ++counts[0][p[i]];
    Histogram h;
    for (int v = 0; v < 256; ++v) h[v] = counts[0][v] + counts[1][v] + counts[2][v] + counts[3][v];
    return h;
  };
  return SumOverSlices<Histogram>(static_cast<int64_t>(image.PixelCount()), threads, count,
                                  [](Histogram& sum, const Histogram& part) {
                                    for (int v = 0; v < 256; ++v) sum[v] += part[v];
                                  });
}

int OtsuThreshold(const Histogram& histogram) {
  double total = 0, sum = 0;
  for (int v = 0; v < 256; ++v) {
    total += static_cast<double>(histogram[v]);
    sum += static_cast<double>(v) * static_cast<double>(histogram[v]);
  }
  double below = 0, belowSum = 0, best = -1;
  int first = -1, last = -1;
  double firstBelow = -1;
  for (int t = 0; t < 255; ++t) {
    below += static_cast<double>(histogram[t]);
    belowSum += static_cast<double>(t) * static_cast<double>(histogram[t]);
    const double above = total - below;
    if (below == 0 || above == 0) continue;
    const double difference = belowSum / below - (sum - belowSum) / above;
    const double variance = below * above * difference * difference;
    if (variance > best) {
      best = variance;
      first = last = t;
      firstBelow = below;
    } else if (variance == best && below == firstBelow) {
      last = t;  // the same split: only empty levels lie between
    }
  }
  return first < 0 ? -1 : (first + last + 1) / 2;
}

InkDecision DecideInk(const Histogram& histogram, const InkOptions& options) {
  InkDecision decision;
  decision.threshold = options.threshold >= 0 ? options.threshold : OtsuThreshold(histogram);
  if (decision.threshold < 0) return decision;
  uint64_t darkCount = 0, lightCount = 0;
  for (int v = 0; v < 256; ++v) (v <= decision.threshold ? darkCount : lightCount) += histogram[v];
  if (options.kind == InkKind::kAuto) {
    decision.dark = darkCount <= lightCount;
  } else {
    decision.dark = options.kind == InkKind::kDark;
  }
  decision.inkPixels = decision.dark ? darkCount : lightCount;
  decision.found = darkCount > 0 && lightCount > 0;
  return decision;
}

void MakeInkMask(GrayImage& image, const InkDecision& decision, int threads) {
  uint8_t* p = image.pixels.get();
  const uint8_t t = static_cast<uint8_t>(decision.threshold);
  ForEachSlice(static_cast<int64_t>(image.PixelCount()), threads,
               [&](int64_t, int64_t begin, int64_t end) {
                 if (decision.dark) {
                   for (int64_t i = begin; i < end; ++i) p[i] = p[i] <= t;
                 } else {
                   for (int64_t i = begin; i < end; ++i) p[i] = p[i] > t;
                 }
               });
}

InkDecision DecideInkMask(GrayImage& image, const InkOptions& options) {
  if (options.threshold == kThresholdLocal) {
    return MakeLocalInkMask(image, options.kind, options.threads);
  }
  const InkDecision decision = DecideInk(LuminanceHistogram(image, options.threads), options);
  if (decision.found) MakeInkMask(image, decision, options.threads);
  return decision;
}
