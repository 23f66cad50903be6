// Ink much wider than the drawing's strokes (a filled disc, a block): the
// drawing mode traces it as a dot or as a line through its middle, so it
// is found and told, so that nobody cuts a dot for a disc.
#pragma once

#include <cstdint>
#include <vector>

#include "drawing/drawing.h"
#include "drawing/stroke_graph.h"

// distances: the chamfer map the graph was built on; width: the picture's.
// O(skeleton pixels).
std::vector<FilledArea> FindFilledAreas(const StrokeGraph& graph, const uint8_t* distances,
                                        int64_t width);
