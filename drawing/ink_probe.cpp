#include "drawing/ink_probe.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kStep = 0.125;

}  // namespace

// The distance to the first sample on paper, to an eighth of a pixel
// (where the thresholded outline crosses between two pixel centres).
double InkAhead(const InkRaster& r, double x, double y, double dx, double dy, double limit) {
  // Whole pixels first, then the last one halved down to an eighth.
  double t = 0, step = 1;
  while (t < limit && r.Ink(x + (t + step) * dx, y + (t + step) * dy)) t += step;
  while (step > kStep) {
    step /= 2;
    if (r.Ink(x + (t + step) * dx, y + (t + step) * dy)) t += step;
  }
  return t + kStep / 2;
}

bool InkNear(const InkRaster& r, double x, double y) {
  for (int k = 0; k < 9; ++k) {
    if (r.Ink(x + k % 3 - 1, y + k / 3 - 1)) return true;
  }
  return false;
}

PointF Unit(double dx, double dy) {
  const double length = std::sqrt(dx * dx + dy * dy);
  return length > 0 ? PointF{dx / length, dy / length} : PointF{0, 0};
}

// Half the stroke's width at p, which lies across the stroke from the
// direction d: the shortest chord through p within 30 degrees of the
// normal, since a chord slanted by a wrong or curving direction is longer.
double HalfWidth(const InkRaster& r, PointF p, PointF d, double limit) {
  double shortest = limit;
  for (int k = -3; k <= 3; ++k) {
    const double angle = k * (M_PI / 18), c = std::cos(angle), s = std::sin(angle);
    const double nx = -d.y * c - d.x * s, ny = d.x * c - d.y * s;
    shortest = std::min(
        shortest,
        (InkAhead(r, p.x, p.y, nx, ny, limit) + InkAhead(r, p.x, p.y, -nx, -ny, limit)) / 2);
  }
  return shortest;
}
