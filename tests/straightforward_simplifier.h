#pragma once

#include "document/app_state.h"

// The sliding-window fit stated plainly: every pixel between anchor and
// floater is measured against the chord. It is the definition the program's
// SimplifyChain must agree with on every input; tests and the benchmarks
// compare the two.
int SimplifyPointsStraightforward(const Point* path, int n, double epsilon, int emitPrevious,
                                  Point* out, int capacity, bool* cut = nullptr);
int SimplifyChainStraightforward(const ChainCode* codes, int32_t startX, int32_t startY, int n,
                                 double epsilon, int emitPrevious, Point* out,
                                 int capacity = kCriticalCapacity, bool* cut = nullptr);
