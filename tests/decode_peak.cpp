// Decodes one picture, decides its ink and makes its mask, then prints the
// size and the ink: the memory test runs it under /usr/bin/time to see the
// decoder's peak beside the picture's luminance bytes.
#include <cstdio>

#include "decode/picture_decoder.h"
#include "ink/ink_mask.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: decode_peak PICTURE\n");
    return 2;
  }
  DecodeResult result = DecodePictureFile(argv[1], {.maxPixels = uint64_t{1} << 34});
  if (result.status != DecodeStatus::kOk) {
    std::fprintf(stderr, "%s: not decoded: %s\n", argv[1], result.detail.c_str());
    return 1;
  }
  const InkDecision ink = DecideInk(LuminanceHistogram(result.image), {});
  MakeInkMask(result.image, ink);
  std::printf("%d x %d, %s ink, threshold %d, %llu ink pixels\n", result.image.width,
              result.image.height, ink.dark ? "dark" : "light", ink.threshold,
              static_cast<unsigned long long>(ink.inkPixels));
  return 0;
}
