// A centreline fitted with straight segments and circular arcs within a
// tolerance: tangent-continuous while the line runs smoothly, a corner
// where it does not.
#pragma once

#include <span>
#include <vector>

#include "drawing/drawing.h"

struct FittedPath {
  std::vector<PointF> vertices;  // the first point, then each piece's end
  std::vector<double> bulges;    // bulges[i]: the piece from vertices[i] to [i + 1]
};

// path: the centreline's points in order (a closed one ends on its first),
// at least one. Every point of it lies within epsilon of the piece of the
// fit that spans it. About O(n log n) for n points.
void FitLinesAndArcs(std::span<const PointF> path, double epsilon, FittedPath& fit);
