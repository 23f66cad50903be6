#include "document/display_image.h"

#include "document/app_state.h"
#include "document/platform_seam.h"
#include "document/texts.h"

void BuildDisplayImage(void* ownerWindow) {
  if (!app.grayRaster) {
    ShowMessage(ownerWindow, kTextNothingToDisplay, kCaptionDisplay);
    return;
  }
  const int64_t width = app.imageWidth;
  const int64_t height = app.imageHeight;
  const uint64_t stride = RowStride(width);
  unsigned char* rows = app.fileImage + kInfoHeaderSize;
  for (int64_t j = 0; j < height; ++j) {
    unsigned char* pixel = rows + j * stride;
    const unsigned char* gray = app.grayRaster + (height - 1 - j) * width;
    for (int64_t k = 0; k < width; ++k, pixel += 3) {
      pixel[0] = 0;
      pixel[1] = gray[k] ? 255 : 0;
      pixel[2] = 0;
    }
  }
  // Points of a run on an earlier, larger picture are not marked.
  for (int n = 0; n < app.criticalCount; ++n) {
    const Point p = app.criticalPoints[n];
    if (p.x < 0 || p.y < 0 || p.x >= width || p.y >= height) continue;
    rows[(height - 1 - p.y) * stride + 3 * static_cast<uint64_t>(p.x) + 2] = 255;
  }
  PresentDisplayImage(ownerWindow);
}
