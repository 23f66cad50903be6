// Probes of the ink around a point of a stroke: how far the ink reaches
// along a ray, how wide the stroke is. The outline is the thresholded one,
// found to an eighth of a pixel between pixel centres.
#pragma once

#include <cstdint>

#include "document/app_state.h"
#include "drawing/distance_map.h"
#include "drawing/drawing.h"

struct InkRaster {
  int64_t width, height;
  const uint8_t* distances;  // chamfer distances to the paper, 0 on paper

  bool Ink(double x, double y) const {
    if (x < -0.5 || y < -0.5) return false;
    const int64_t px = static_cast<int64_t>(x + 0.5), py = static_cast<int64_t>(y + 0.5);
    return px < width && py < height && distances[py * width + px] > 0;
  }
  double Radius(Point p) const {
    return static_cast<double>(distances[p.y * width + p.x]) / kStraightStep;
  }
};

// How far from (x, y) along the unit vector (dx, dy) the ink goes, up to
// about `limit`: the distance to the first sample on paper.
double InkAhead(const InkRaster& r, double x, double y, double dx, double dy, double limit);

// Whether ink lies within a pixel of (x, y): a line one pixel wide steps
// aside of any straight path along it, and lines fitted to its pixels
// meet up to a pixel off its ink.
bool InkNear(const InkRaster& r, double x, double y);

// Half the stroke's width at p, where d is the stroke's direction.
double HalfWidth(const InkRaster& r, PointF p, PointF d, double limit);

PointF Unit(double dx, double dy);
