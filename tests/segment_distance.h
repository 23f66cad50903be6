// The distance from a point to a line segment, for tests that measure
// traced points against known centrelines.
#pragma once

#include <algorithm>
#include <cmath>

// From (px, py) to the segment from (ax, ay) to (bx, by).
inline double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  const double t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  return std::hypot(px - ax - t * dx, py - ay - t * dy);
}
