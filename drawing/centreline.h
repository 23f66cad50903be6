// The points of a stroke's centreline: its skeleton pixels moved across the
// stroke to the middle, found where the distance to the paper peaks, and
// the nodes it passes through or ends at.
#pragma once

#include <vector>

#include "document/app_state.h"
#include "drawing/drawing.h"
#include "drawing/stroke_graph.h"

// Per node, the centreline of a stroke passing through it, for the strokes
// that end there to meet (empty at other nodes).
using ThroughLines = std::vector<std::vector<Point>>;

// In fixed point: pixel coordinates times scale, rounded (the simplifier
// works on whole numbers). For a closed run the last point repeats the
// first. through: where the run's end meets a stroke passing its junction
// (none: it ends at the junction's middle). record: receives the lines it
// passes through junctions on.
std::vector<Point> CentrelineOf(const StrokeGraph& graph, const StrokeRun& run, int64_t width,
                                int64_t height, const uint8_t* distances, int scale,
                                const ThroughLines* through = nullptr,
                                ThroughLines* record = nullptr);

// The lines of the strokes passing through the junctions at which other
// strokes end (a T's bar across its stem). Costs a centreline of each
// such passing run.
ThroughLines LinesThroughJunctions(const StrokeGraph& graph, int64_t width, int64_t height,
                                   const uint8_t* distances, int scale);
