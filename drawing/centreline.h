// The points of a stroke's centreline: its skeleton pixels moved across the
// stroke to the middle, found where the distance to the paper peaks, and
// the nodes it passes through or ends at.
#pragma once

#include <vector>

#include "document/app_state.h"
#include "drawing/drawing.h"
#include "drawing/stroke_graph.h"

// In fixed point: pixel coordinates times scale, rounded (the simplifier
// works on whole numbers). For a closed run the last point repeats the
// first.
std::vector<Point> CentrelineOf(const StrokeGraph& graph, const StrokeRun& run, int64_t width,
                                int64_t height, const uint8_t* distances, int scale);
