// libFuzzer harness over the picture decoders and the ink: each input is
// decoded from memory as any format; an accepted picture must have the
// size it declared, and its ink and mask are made and checked.
#include <cstdio>
#include <cstdlib>

#include "decode/picture_decoder.h"
#include "ink/ink_mask.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return 0;
  // Small pictures only: a header may claim any size, and the fuzzer's
  // memory is limited.
  DecodeResult result = DecodePicture(file, {.maxPixels = 1 << 22});
  std::fclose(file);
  if (result.status != DecodeStatus::kOk) {
    Check(!result.image.pixels, "no picture after a refusal");
    return 0;
  }
  GrayImage& image = result.image;
  Check(image.pixels && image.width > 0 && image.height > 0, "a picture");
  Check(uint64_t(image.width) == result.width && uint64_t(image.height) == result.height,
        "the declared size");
  const Histogram histogram = LuminanceHistogram(image);
  uint64_t total = 0;
  for (uint64_t count : histogram) total += count;
  Check(total == image.PixelCount(), "every pixel counted");
  for (InkKind kind : {InkKind::kAuto, InkKind::kLight}) {
    const InkDecision ink = DecideInk(histogram, {kind, static_cast<int>(size % 3) - 1});
    if (!ink.found) continue;
    Check(ink.inkPixels > 0 && ink.inkPixels < total, "ink and paper both present");
    if (kind == InkKind::kLight) {
      MakeInkMask(image, ink);
      uint64_t inked = 0;
      for (uint64_t i = 0; i < image.PixelCount(); ++i) {
        Check(image.pixels[i] <= 1, "mask of 0 and 1");
        inked += image.pixels[i];
      }
      Check(inked == ink.inkPixels, "the mask holds the counted ink");
    }
  }
  return 0;
}
