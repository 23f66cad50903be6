#include "document/pixel_rows.h"

namespace {

// The exact channel mean: (sum * 43691) >> 17 equals sum / 3 for every sum
// up to 765.
[[gnu::always_inline]] inline void GrayLoop(const unsigned char* __restrict pixels,
                                            unsigned char* __restrict gray, int64_t width) {
  for (int64_t k = 0; k < width; ++k) {
    const unsigned sum = pixels[3 * k] + pixels[3 * k + 1] + pixels[3 * k + 2];
    gray[k] = static_cast<unsigned char>((sum * 43691u) >> 17);
  }
}

[[gnu::always_inline]] inline void DisplayLoop(const unsigned char* __restrict gray,
                                               unsigned char* __restrict pixels, int64_t width) {
  for (int64_t k = 0; k < width; ++k) {
    pixels[3 * k] = 0;
    pixels[3 * k + 1] = gray[k] ? 255 : 0;
    pixels[3 * k + 2] = 0;
  }
}

void GrayPlain(const unsigned char* pixels, unsigned char* gray, int64_t width) {
  GrayLoop(pixels, gray, width);
}

void DisplayPlain(const unsigned char* gray, unsigned char* pixels, int64_t width) {
  DisplayLoop(gray, pixels, width);
}

#if defined(__x86_64__) || defined(__i386__)
[[gnu::target("ssse3")]] void GrayShuffled(const unsigned char* pixels, unsigned char* gray,
                                           int64_t width) {
  GrayLoop(pixels, gray, width);
}

[[gnu::target("ssse3")]] void DisplayShuffled(const unsigned char* gray, unsigned char* pixels,
                                              int64_t width) {
  DisplayLoop(gray, pixels, width);
}

const bool kHasShuffles = __builtin_cpu_supports("ssse3");
#else
const bool kHasShuffles = false;
#define GrayShuffled GrayPlain
#define DisplayShuffled DisplayPlain
#endif

}  // namespace

void GrayRow(const unsigned char* pixels, unsigned char* gray, int64_t width) {
  if (kHasShuffles)
    GrayShuffled(pixels, gray, width);
  else
    GrayPlain(pixels, gray, width);
}

void DisplayRow(const unsigned char* gray, unsigned char* pixels, int64_t width) {
  if (kHasShuffles)
    DisplayShuffled(gray, pixels, width);
  else
    DisplayPlain(gray, pixels, width);
}
