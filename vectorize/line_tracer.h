#pragma once

#include "document/app_state.h"

// What a trace reports to its caller besides the chain.
constexpr int kTraceNoStart = 1;   // no line end found: the chain is empty
constexpr int kTraceChainCut = 2;  // the walk went on past the chain's capacity

bool IsLinePixel(int64_t x, int64_t y);
int CountLineNeighbours(int64_t x, int64_t y);
// The first line pixel in raster order with exactly one line neighbour;
// found is false (and the point is (-1, -1)) when there is none.
Point FindStartPixel(bool* found);
// Traces the line from its start into app.chainCodes; returns the report
// bits above (0 when the walk ended by itself).
int TraceLine();
