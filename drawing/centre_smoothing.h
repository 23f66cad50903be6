// Evens out the steps that the pixel outline leaves in a stroke's centred
// points. Each centred point lies up to half a pixel off the true middle,
// by how the outline's pixels fall; along the stroke those errors come and
// go within a few pixels, while the centreline bends slowly, so a parabola
// fitted to a point's neighbours lies nearer the middle than the point.
#pragma once

#include <cstddef>
#include <vector>

#include "document/app_state.h"
#include "drawing/drawing.h"

// How many points either side each point's parabola is fitted to, for a
// stroke of this largest half width.
size_t SmoothingReach(double radius);

// Moves each of points[begin, end) (in fixed point, pixel coordinates times
// scale) to the parabola fitted by least squares to the points up to
// `reach` either side of it, as many on each side; fewer where the points
// bend more than a parabola (a tight turn). The points in `kept`
// (ascending, within [begin, end)) and the range's two ends stay where they
// are, and no fit reaches across them: they are corners and ends, which a
// parabola would round off. Linear in the points, O(reach^2) a point at
// tight turns.
void SmoothCentres(std::vector<Point>& points, size_t begin, size_t end,
                   const std::vector<size_t>& kept, size_t reach, int scale);
