// The drawing mode from the ink mask to ordered, simplified strokes:
// distances, thinning, the stroke graph, centrelines, the simplifier of
// vectorize/ on each stroke, and the order.
#pragma once

#include <functional>

#include "decode/gray_image.h"
#include "drawing/drawing.h"

struct DrawingOptions {
  double epsilon = 1.0;
  int minLength = 3;
  bool order = true;
  bool curves = false;  // lines and arcs rather than polylines
  int threads = 1;      // how many threads the picture may use
  // Told the stage now starting ("thinning", ...), for progress on long work.
  std::function<void(const char*)> progress;
};

enum class DrawingStatus { kOk, kOutOfMemory, kTooLarge };

// mask: 1 ink, 0 paper; used up (its pixels are freed once thinned into
// a graph, to make room for the strokes). Fills drawing.
DrawingStatus VectorizeDrawing(GrayImage& mask, const DrawingOptions& options, Drawing& drawing);
