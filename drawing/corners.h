// Sharp corners of a stroke put back at their vertex. The skeleton cuts
// across a corner's inside, and chords across the stroke near it are bent
// by the other arm, so the centred points there scatter.
#pragma once

#include <cstddef>
#include <vector>

#include "document/app_state.h"
#include "drawing/ink_probe.h"

// points from begin on: one branch's centred points in order, in fixed
// point (pixel coordinates times scale); radius: the branch's largest half
// width. Where they turn sharply between two straight arms whose lines meet
// at the centre of a round join, the points between the arms give way to
// that vertex. vertices: receives where the vertices now stand, ascending.
// Linear in the points.
void RestoreCorners(std::vector<Point>& points, size_t begin, double radius, const InkRaster& r,
                    int scale, std::vector<size_t>& vertices);

// Where a closed branch of these pixels is best cut open: in the middle of
// its straightest stretch, so that no corner lies across the cut.
size_t StraightestPixel(const std::vector<Point>& pixels, const InkRaster& r);
