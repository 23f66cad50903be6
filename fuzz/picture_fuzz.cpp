// libFuzzer harness over the picture decoders, the ink and the drawing
// mode: each input is decoded from memory as any format; an accepted
// picture must have the size it declared, its ink and mask are made and
// checked, and the mask is vectorized into strokes (polylines, or lines and
// arcs) that stay inside it.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "curves/segment.h"
#include "decode/picture_decoder.h"
#include "drawing/drawing_vectorizer.h"
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
  DecodeResult result = DecodePicture(file, {.maxPixels = 1 << 18});
  std::fclose(file);
  if (result.status != DecodeStatus::kOk) {
    Check(!result.image.pixels, "no picture after a refusal");
    return 0;
  }
  GrayImage& image = result.image;
  Check(image.pixels && image.width > 0 && image.height > 0, "a picture");
  Check(uint64_t(image.width) == result.width && uint64_t(image.height) == result.height,
        "the declared size");
  Check(result.dpiX == 0 ||
            (result.dpiX >= 1 && result.dpiX <= 1e6 && result.dpiY >= 1 && result.dpiY <= 1e6),
        "a believable resolution or none");
  const Histogram histogram = LuminanceHistogram(image);
  uint64_t total = 0;
  for (uint64_t count : histogram) total += count;
  Check(total == image.PixelCount(), "every pixel counted");
  // Each way of deciding the ink, by the input's length.
  const int thresholds[] = {kThresholdLocal, kThresholdOtsu, 0, static_cast<int>(size % 256)};
  const InkKind kinds[] = {InkKind::kAuto, InkKind::kDark, InkKind::kLight};
  // One thread or two, as a batch or a single picture would use.
  const int threads = 1 + static_cast<int>(size / 5 % 2);
  const InkDecision ink =
      DecideInkMask(image, {kinds[size / 4 % 3], thresholds[size % 4], threads});
  if (!ink.found) return 0;
  Check(ink.inkPixels > 0 && ink.inkPixels < total, "ink and paper both present");
  uint64_t inked = 0;
  for (uint64_t i = 0; i < image.PixelCount(); ++i) {
    Check(image.pixels[i] <= 1, "mask of 0 and 1");
    inked += image.pixels[i];
  }
  Check(inked == ink.inkPixels, "the mask holds the counted ink");
  Drawing drawing;
  const double epsilon = 0.3 + static_cast<double>(size % 7);
  const DrawingOptions options{
      epsilon, static_cast<int>(size % 4), size % 2 == 0, size / 3 % 2 == 0, threads, nullptr};
  if (VectorizeDrawing(image, options, drawing) != DrawingStatus::kOk) return 0;
  for (const Stroke& stroke : drawing.strokes) {
    const std::span<const DrawnPoint> points = drawing.Points(stroke);
    Check(points.size() >= 2, "a stroke has two points");
    for (const DrawnPoint& p : points) {
      Check(p.x >= -0.5 && p.y >= -0.5 && p.x <= image.width - 0.5 && p.y <= image.height - 0.5,
            "points inside the picture");
    }
    if (stroke.closed) {
      Check(points.front().x == points.back().x && points.front().y == points.back().y,
            "a closed stroke ends on its first point");
    }
  }
  Check(drawing.penUp >= 0, "pen-up length");
  for (const FilledArea& f : drawing.filled) {
    Check(f.x0 <= f.x1 && f.y0 <= f.y1 && f.x0 >= -0.5 && f.y0 >= -0.5 &&
              f.x1 <= image.width - 0.5 && f.y1 <= image.height - 0.5 && f.halfWidth > 0,
          "a filled area's box inside the picture");
  }
  // Lines and arcs: a bulge for every point, and no arc swinging far out of
  // the picture (every piece keeps near the centreline it was fitted to).
  Check(drawing.bulges.empty() || drawing.bulges.size() == drawing.points.size(), "the bulges");
  for (const Stroke& stroke : drawing.strokes) {
    for (uint32_t i = 0; i + 1 < stroke.count && !drawing.bulges.empty(); ++i) {
      const Segment piece = PieceOf(drawing, stroke, i);
      Check(std::isfinite(piece.bulge), "a finite bulge");
      const PointF middle = piece.At(0.5);
      const double margin = 0.5 + 3 * epsilon + 3;
      Check(middle.x >= -margin && middle.y >= -margin && middle.x <= image.width + margin &&
                middle.y <= image.height + margin,
            "arcs near the picture");
    }
  }
  return 0;
}
