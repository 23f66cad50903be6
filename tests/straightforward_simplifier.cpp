#include "tests/straightforward_simplifier.h"

#include <cmath>
#include <new>

#include "vectorize/chain_simplifier.h"

int SimplifyPointsStraightforward(const Point* path, int n, double epsilon, int emitPrevious,
                                  Point* out, int capacity, bool* cut) {
  if (cut) *cut = false;
  if (n < 0 || capacity < 1) return 0;
  int count = 0;
  auto emit = [&](Point p) {
    if (count == capacity) {
      if (cut) *cut = true;
      return false;
    }
    out[count++] = p;
    return true;
  };
  emit(path[0]);
  int a = 0;
  int f = 2;
  bool room = true;
  while (room && f <= n) {
    const int64_t dx = path[f].x - path[a].x;
    const int64_t dy = path[f].y - path[a].y;
    const double len = std::sqrt(static_cast<double>(dx * dx + dy * dy));
    bool broken = false;
    for (int k = a + 1; k < f && !broken; ++k) {
      const int64_t cross = (path[k].y - path[a].y) * dx - (path[k].x - path[a].x) * dy;
      // With the floater on the anchor, 0 / 0 is not a number: no break.
      broken = std::fabs(static_cast<double>(cross) / len) > epsilon;
    }
    if (broken) {
      a = emitPrevious ? f - 1 : f;
      room = emit(path[a]);
      f = a + 2;
    } else {
      ++f;
    }
  }
  if (room && (out[count - 1].x != path[n].x || out[count - 1].y != path[n].y)) emit(path[n]);
  return count;
}

int SimplifyChainStraightforward(const ChainCode* codes, int32_t startX, int32_t startY, int n,
                                 double epsilon, int emitPrevious, Point* out, int capacity,
                                 bool* cut) {
  if (cut) *cut = false;
  if (n < 0 || capacity < 1) return 0;
  Point* path = new (std::nothrow) Point[static_cast<size_t>(n) + 1];
  if (!path) return 0;
  ChainToPoints(codes, startX, startY, n, path);
  const int count =
      SimplifyPointsStraightforward(path, n, epsilon, emitPrevious, out, capacity, cut);
  delete[] path;
  return count;
}
