// What the drawing mode produces: strokes as polylines in pixel
// coordinates (the centre of pixel (i, j) at (i, j), y downward).
#pragma once

#include <cstdint>
#include <vector>

struct PointF {
  double x;
  double y;
};

struct Stroke {
  bool closed = false;  // a closed stroke ends on its first point
  std::vector<PointF> points;
};

struct Drawing {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<Stroke> strokes;
  double penUp = 0;    // pen-up travel between the strokes in their order
  int64_t specks = 0;  // ink components dropped as shorter than the minimum
  int64_t spurs = 0;   // side branches pruned as shorter than the stroke width
};
