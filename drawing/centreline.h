// The points of a stroke's centreline: its skeleton pixels moved across the
// stroke to the middle, found where the distance to the paper peaks, and
// the nodes it passes through or ends at.
#pragma once

#include <algorithm>
#include <vector>

#include "document/app_state.h"
#include "drawing/drawing.h"
#include "drawing/stroke_graph.h"

// The centrelines of strokes passing through the junctions that other
// strokes end at, for those to meet; kept for those junctions only (a
// drawing of noise has millions of nodes).
struct ThroughLines {
  std::vector<int> nodes;                 // ascending
  std::vector<std::vector<Point>> lines;  // lines[i]: through nodes[i], empty until recorded

  std::vector<Point>* At(int node) {
    const auto i = std::lower_bound(nodes.begin(), nodes.end(), node);
    return i != nodes.end() && *i == node ? &lines[static_cast<size_t>(i - nodes.begin())]
                                          : nullptr;
  }
  const std::vector<Point>* At(int node) const { return const_cast<ThroughLines*>(this)->At(node); }
};

// In fixed point: pixel coordinates times scale, rounded (the simplifier
// works on whole numbers). For a closed run the last point repeats the
// first. through: where the run's end meets a stroke passing its junction
// (none: it ends at the junction's middle). record: receives the lines it
// passes the junctions of `record` on.
std::vector<Point> CentrelineOf(const StrokeGraph& graph, const StrokeRun& run, int64_t width,
                                int64_t height, const uint8_t* distances, int scale,
                                const ThroughLines* through = nullptr,
                                ThroughLines* record = nullptr);

// The lines of the strokes passing through the junctions at which other
// strokes end (a T's bar across its stem). Costs a centreline of each
// such passing run, shared by `threads` threads.
ThroughLines LinesThroughJunctions(const StrokeGraph& graph, int64_t width, int64_t height,
                                   const uint8_t* distances, int scale, int threads = 1);
