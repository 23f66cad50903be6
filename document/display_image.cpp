#include "document/display_image.h"

#include "document/app_state.h"
#include "document/pixel_rows.h"
#include "document/platform_seam.h"
#include "document/texts.h"

void DrawDisplayRows(unsigned char* rows, const unsigned char* gray, int64_t width, int64_t height,
                     int64_t first, int64_t last) {
  const uint64_t stride = RowStride(width);
  for (int64_t j = first; j < last; ++j) {
    DisplayRow(gray + (height - 1 - j) * width, rows + j * stride, width);
  }
}

void FinishDisplayImage(void* ownerWindow) {
  const int64_t width = app.imageWidth;
  const int64_t height = app.imageHeight;
  unsigned char* rows = app.fileImage + kInfoHeaderSize;
  // Points of a run on an earlier, larger picture are not marked.
  for (int n = 0; n < app.criticalCount; ++n) {
    const Point p = app.criticalPoints[n];
    if (p.x < 0 || p.y < 0 || p.x >= width || p.y >= height) continue;
    rows[(height - 1 - p.y) * RowStride(width) + 3 * static_cast<uint64_t>(p.x) + 2] = 255;
  }
  PresentDisplayImage(ownerWindow);
}

void BuildDisplayImage(void* ownerWindow) {
  if (!app.grayRaster) {
    ShowMessage(ownerWindow, kTextNothingToDisplay, kCaptionDisplay);
    return;
  }
  DrawDisplayRows(app.fileImage + kInfoHeaderSize, app.grayRaster, app.imageWidth, app.imageHeight,
                  0, app.imageHeight);
  FinishDisplayImage(ownerWindow);
}
