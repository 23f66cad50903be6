// The straight line through a run of points by total least squares, for
// the arms of corners and junctions.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "drawing/drawing.h"

struct FittedLine {
  PointF centre;     // the points' centroid
  PointF direction;  // unit, along the larger axis of their scatter
  double spread;     // the largest distance of a point from the line
};

// The line through at(0), ..., at(count - 1) (each a PointF); count > 0.
// O(count), and at is called three times a point.
template <class At>
FittedLine FitLine(size_t count, At at) {
  const double n = static_cast<double>(count);
  double mx = 0, my = 0;
  for (size_t k = 0; k < count; ++k) {
    const PointF p = at(k);
    mx += p.x, my += p.y;
  }
  mx /= n, my /= n;
  double sxx = 0, sxy = 0, syy = 0;
  for (size_t k = 0; k < count; ++k) {
    const PointF p = at(k);
    sxx += (p.x - mx) * (p.x - mx), sxy += (p.x - mx) * (p.y - my), syy += (p.y - my) * (p.y - my);
  }
  const double angle = 0.5 * std::atan2(2 * sxy, sxx - syy);
  FittedLine line{{mx, my}, {std::cos(angle), std::sin(angle)}, 0};
  for (size_t k = 0; k < count; ++k) {
    const PointF p = at(k);
    line.spread = std::max(
        line.spread, std::fabs((p.x - mx) * line.direction.y - (p.y - my) * line.direction.x));
  }
  return line;
}

// How far the crossing of two fitted lines may lie from the corner's
// vertex along its bisector, a and b the unit directions of its arms from
// the crossing: each line up to half a pixel off (the centring of an
// aliased edge, or the skeleton's steps) moves it by that over the sine of
// half the corner's angle.
inline double CrossingError(PointF a, PointF b) {
  const double sineHalf = std::sqrt(std::max(0.0, (1 - (a.x * b.x + a.y * b.y)) / 2));
  return 0.5 / std::max(sineHalf, 0.1);
}
