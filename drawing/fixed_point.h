// Centreline points in fixed point, as the simplifier takes them: pixel
// coordinates times a scale, rounded to whole numbers.
#pragma once

#include <cstdint>

#include "document/app_state.h"
#include "drawing/drawing.h"

// floor(v + 0.5) without a library call: this runs once a skeleton pixel.
inline int32_t RoundToInt(double v) {
  const double s = v + 0.5;
  const auto t = static_cast<int32_t>(s);
  return t - (s < static_cast<double>(t) ? 1 : 0);
}

inline Point ToFixed(PointF f, int scale) {
  return {RoundToInt(f.x * scale), RoundToInt(f.y * scale)};
}

inline PointF FromFixed(Point p, int scale) {
  return {static_cast<double>(p.x) / scale, static_cast<double>(p.y) / scale};
}
