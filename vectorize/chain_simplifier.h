#pragma once

#include <functional>

#include "document/app_state.h"

// Reported by RunVectorization beside the trace's bits.
constexpr int kSimplifyPointsCut = 4;  // more critical points than fit

// Expands n codes from (startX, startY) into the n + 1 path points.
void ChainToPoints(const ChainCode* codes, int32_t startX, int32_t startY, int n, Point* path);

// Sliding-window end-point fit of the path into critical points. With
// emitPrevious 1 every path point between two critical points lies within
// epsilon of their line. Writes at most capacity points to out and returns
// how many; *cut (when given) tells whether more would have followed.
int SimplifyChain(const ChainCode* codes, int32_t startX, int32_t startY, int n, double epsilon,
                  int emitPrevious, Point* out, int capacity = kCriticalCapacity,
                  bool* cut = nullptr);

// The same fit over a path of n + 1 points of any steps (the drawing mode
// passes sub-pixel centrelines in fixed point). out may be path itself: a
// point is written only over one already passed.
int SimplifyPoints(const Point* path, int n, double epsilon, int emitPrevious, Point* out,
                   int capacity, bool* cut = nullptr);

// The same fit as the path indices of its critical points, from the anchor
// `from` on: hands each anchor to `take` in order, `from` first, until
// `take` returns false or the path ends (the path's last point, which
// closes every fit, is handed over only where a break falls on it). The fit
// from an anchor depends on nothing before it.
void FitAnchors(const Point* path, int n, int from, double epsilon, int emitPrevious,
                const std::function<bool(int)>& take);

// Traces and simplifies the current picture into app's chain and critical
// points. Returns the report bits (kTraceNoStart, kTraceChainCut,
// kSimplifyPointsCut); 0 for a clean run. Neither draws nor shows anything.
int RunVectorization(int emitPrevious);
