// The simplifier's fit of one long path shared by several threads, point
// for point the fit one thread makes.
#pragma once

#include <cstdint>

#include "document/app_state.h"

// Writes the critical points of the fit of path[0..n] (every point within
// epsilon of its chord, as SimplifyPoints with emitPrevious 1) to `out`,
// which holds n + 1 points and may be path itself; returns how many. A path
// of at least 2 * minPart points is cut into as many parts as threads, each
// fitted from its own start; the parts' fits meet the one from the path's
// start within a few anchors, and from there on they are that fit.
int FitLongPath(const Point* path, int n, double epsilon, Point* out, int threads,
                int minPart = 1 << 19);
