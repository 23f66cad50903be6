#include "vectorize/chain_simplifier.h"

#include <cmath>
#include <new>
#include <vector>

#include "vectorize/line_tracer.h"

void ChainToPoints(const ChainCode* codes, int32_t startX, int32_t startY, int n, Point* path) {
  path[0] = {startX, startY};
  for (int k = 1; k <= n; ++k) {
    const ChainCode c = codes[k - 1];
    const bool valid = c >= 1 && c <= 8;
    path[k] = {path[k - 1].x + (valid ? kStepX[c] : 0), path[k - 1].y + (valid ? kStepY[c] : 0)};
  }
}

namespace {

// A vertex of a window's hull, relative to the anchor.
struct HullPoint {
  int64_t x;
  int64_t y;
};

int64_t Turn(HullPoint a, HullPoint b, HullPoint c) {
  return (b.x - a.x) * (c.y - b.y) - (b.y - a.y) * (c.x - b.x);
}

// hull[0..size) is the upper hull of the points added so far: increasing x,
// strictly turning right. Adding keeps it so; a point on or under it is
// dropped. The lower hull is the upper hull of the mirrored points.
void AddToUpperHull(std::vector<HullPoint>& hull, int& size, HullPoint p) {
  // Along a path the new point is nearly always past either end: no search.
  int lo = 0;
  int hi = size;
  if (size == 0 || p.x > hull[size - 1].x) {
    lo = size;
  } else if (p.x < hull[0].x) {
    hi = 0;
  }
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (hull[mid].x < p.x)
      lo = mid + 1;
    else
      hi = mid;
  }
  int at = lo;
  if (at < size && hull[at].x == p.x) {
    if (hull[at].y >= p.y) return;
  } else {
    if (at > 0 && at < size && Turn(hull[at - 1], p, hull[at]) >= 0) return;
    if (static_cast<size_t>(size) == hull.size()) hull.emplace_back();
    for (int k = size; k > at; --k) hull[k] = hull[k - 1];
    ++size;
  }
  hull[at] = p;
  int left = at;  // hull[left..at) stop being vertices
  while (left >= 2 && Turn(hull[left - 2], hull[left - 1], p) >= 0) --left;
  int right = at + 1;  // and so do hull[at + 1..right)
  while (right + 1 < size && Turn(p, hull[right], hull[right + 1]) >= 0) ++right;
  if (left == at && right == at + 1) return;
  int to = left;
  hull[to++] = p;
  for (int k = right; k < size; ++k) hull[to++] = hull[k];
  size = to;
}

// The largest nx * x + ny * y over the points of an upper hull, for ny >= 0:
// along such a hull the product rises, then falls.
int64_t HighestAlong(const std::vector<HullPoint>& hull, int size, int64_t nx, int64_t ny) {
  int lo = 0;
  int hi = size - 1;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    const int64_t rise =
        nx * (hull[mid + 1].x - hull[mid].x) + ny * (hull[mid + 1].y - hull[mid].y);
    if (rise > 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  return nx * hull[lo].x + ny * hull[lo].y;
}

// The largest nx * x + ny * y over all points added to the two hulls.
int64_t Highest(const std::vector<HullPoint>& upper, int upperSize,
                const std::vector<HullPoint>& mirrored, int lowerSize, int64_t nx, int64_t ny) {
  if (ny >= 0) return HighestAlong(upper, upperSize, nx, ny);
  return HighestAlong(mirrored, lowerSize, nx, -ny);
}

}  // namespace

// The break test needs only the pixel farthest from the chord: the cross
// product is exact and the chord's length the same for all of them, so the
// largest |cross| decides, and it lies on a vertex of the window's convex
// hull. The hull grows by one pixel per floater step and is queried in
// logarithmic time; the comparison itself is the plain one, made once.
int SimplifyPoints(const Point* path, int n, double epsilon, int emitPrevious, Point* out,
                   int capacity, bool* cut) {
  if (cut) *cut = false;
  if (n < 0 || capacity < 1) return 0;
  // The hulls hold only their vertices, which stay few along digital
  // curves: they grow as needed rather than with the path.
  std::vector<HullPoint> upper, mirrored;
  int upperSize = 0;
  int lowerSize = 0;
  int a = 0;
  auto startWindow = [&] {
    upperSize = 0;
    lowerSize = 0;
  };
  auto addToWindow = [&](int k) {
    const HullPoint p{static_cast<int64_t>(path[k].x) - path[a].x,
                      static_cast<int64_t>(path[k].y) - path[a].y};
    AddToUpperHull(upper, upperSize, p);
    AddToUpperHull(mirrored, lowerSize, {p.x, -p.y});
  };

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
  int f = 2;
  if (f <= n) addToWindow(1);
  bool room = true;
  while (room && f <= n) {
    const int64_t dx = path[f].x - path[a].x;
    const int64_t dy = path[f].y - path[a].y;
    bool broken = false;
    // With the floater on the anchor every cross product is 0 and 0 / 0 is
    // not a number: no break.
    if (dx != 0 || dy != 0) {
      // cross = (y - ay) * dx - (x - ax) * dy for a window point (x, y).
      const int64_t most = Highest(upper, upperSize, mirrored, lowerSize, -dy, dx);
      const int64_t least = -Highest(upper, upperSize, mirrored, lowerSize, dy, -dx);
      const int64_t cross = most >= -least ? most : least;
      // Squares first, which need no root: only a distance within a hair of
      // epsilon takes the plain comparison, so the result is that one's.
      const double c = static_cast<double>(cross);
      const double reach = epsilon * epsilon * static_cast<double>(dx * dx + dy * dy);
      if (c * c < reach * (1 - 1e-9)) {
        broken = false;
      } else if (c * c > reach * (1 + 1e-9)) {
        broken = true;
      } else {
        const double len = std::sqrt(static_cast<double>(dx * dx + dy * dy));
        broken = std::fabs(c / len) > epsilon;
      }
    }
    if (broken) {
      a = emitPrevious ? f - 1 : f;
      room = emit(path[a]);
      f = a + 2;
      startWindow();
      if (f <= n) addToWindow(a + 1);
    } else {
      addToWindow(f);
      ++f;
    }
  }
  if (room && (out[count - 1].x != path[n].x || out[count - 1].y != path[n].y)) emit(path[n]);
  return count;
}

int SimplifyChain(const ChainCode* codes, int32_t startX, int32_t startY, int n, double epsilon,
                  int emitPrevious, Point* out, int capacity, bool* cut) {
  if (cut) *cut = false;
  if (n < 0 || capacity < 1) return 0;
  Point* path = new (std::nothrow) Point[static_cast<size_t>(n) + 1];
  if (!path) return 0;
  ChainToPoints(codes, startX, startY, n, path);
  const int count = SimplifyPoints(path, n, epsilon, emitPrevious, out, capacity, cut);
  delete[] path;
  return count;
}

int RunVectorization(int emitPrevious) {
  app.criticalCount = 0;
  app.chainLength = 0;
  int report = TraceLine();
  if (report & kTraceNoStart) return report;
  bool cut = false;
  app.criticalCount =
      SimplifyChain(app.chainCodes, app.chainStart.x, app.chainStart.y, app.chainLength,
                    app.epsilon, emitPrevious, app.criticalPoints, kCriticalCapacity, &cut);
  if (cut) report |= kSimplifyPointsCut;
  return report;
}
