#include "vectorize/chain_simplifier.h"

#include <algorithm>
#include <cmath>
#include <functional>
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

// The vertices of an upper hull (increasing x, strictly turning right) in a
// buffer with room at both ends: along a path the new point lands at one end
// or the other, whichever way the path runs, so both ends grow and shrink in
// constant time and only a point inside the hull's span moves vertices.
class UpperHull {
 public:
  int size() const { return end_ - begin_; }
  const HullPoint& operator[](int i) const { return buffer_[begin_ + i]; }
  void Clear() { begin_ = end_ = static_cast<int>(buffer_.size() / 2); }

  // Adds p; a point on or under the hull is dropped.
  void Add(const HullPoint& p) {
    // Along a path the new point is nearly always past either end: no search.
    int lo = 0;
    int hi = size();
    if (hi == 0 || p.x > (*this)[hi - 1].x) {
      lo = hi;
    } else if (p.x < (*this)[0].x) {
      hi = 0;
    }
    while (lo < hi) {
      const int mid = (lo + hi) / 2;
      if ((*this)[mid].x < p.x)
        lo = mid + 1;
      else
        hi = mid;
    }
    const int at = lo;
    if (at < size() && (*this)[at].x == p.x) {
      if ((*this)[at].y >= p.y) return;
    } else {
      if (at > 0 && at < size() && Turn((*this)[at - 1], p, (*this)[at]) >= 0) return;
      OpenAt(at);
    }
    buffer_[begin_ + at] = p;
    int left = at;  // [left, at) stop being vertices
    while (left >= 2 && Turn((*this)[left - 2], (*this)[left - 1], p) >= 0) --left;
    int right = at + 1;  // and so do [at + 1, right)
    while (right + 1 < size() && Turn(p, (*this)[right], (*this)[right + 1]) >= 0) ++right;
    if (left < at || right > at + 1) Close(left, at, right);
  }

 private:
  // Makes room for a vertex before position at, moving the shorter side.
  void OpenAt(int at) {
    if (begin_ == 0 || end_ == static_cast<int>(buffer_.size())) Recentre();
    HullPoint* base = buffer_.data() + begin_;
    if (at < size() - at) {
      for (int k = -1; k < at - 1; ++k) base[k] = base[k + 1];
      --begin_;
    } else {
      for (int k = size(); k > at; --k) base[k] = base[k - 1];
      ++end_;
    }
  }

  // Keeps [0, left), the vertex at `at` and [right, size), moving the
  // shorter side up to it.
  void Close(int left, int at, int right) {
    HullPoint* base = buffer_.data() + begin_;
    const HullPoint p = base[at];
    if (left < size() - right) {
      const int shift = right - 1 - left;
      base[right - 1] = p;
      for (int k = left - 1; k >= 0; --k) base[k + shift] = base[k];
      begin_ += shift;
    } else {
      base[left] = p;
      int to = left + 1;
      for (int k = right; k < size(); ++k) base[to++] = base[k];
      end_ = begin_ + to;
    }
  }

  // Puts the vertices in the middle of a buffer with room for as many again
  // on each side.
  void Recentre() {
    const int n = size();
    std::vector<HullPoint> fresh(std::max<size_t>(64, 4 * static_cast<size_t>(n) + 4));
    const int from = static_cast<int>(fresh.size() / 2) - n / 2;
    for (int k = 0; k < n; ++k) fresh[from + k] = buffer_[begin_ + k];
    buffer_.swap(fresh);
    begin_ = from;
    end_ = from + n;
  }

  std::vector<HullPoint> buffer_;
  int begin_ = 0;
  int end_ = 0;
};

// The largest nx * x + ny * y over the points of an upper hull, for ny >= 0:
// along such a hull the product rises, then falls. The search starts from
// the vertex where the last query of its kind ended (`from`): along a path
// the chord turns slowly and the top moves a vertex or so, found in two or
// three steps; a top that moved far is found by galloping, in logarithmic
// time as a plain search.
int64_t HighestAlong(const UpperHull& hull, int64_t nx, int64_t ny, int& from) {
  const int last = hull.size() - 1;
  // Whether the product stops rising at vertex k: false, then true.
  const auto past = [&](int k) {
    return k == last || nx * (hull[k + 1].x - hull[k].x) + ny * (hull[k + 1].y - hull[k].y) <= 0;
  };
  // The top is the first vertex past; past(lo) is false (or lo is -1),
  // past(hi) true.
  int lo, hi;
  const int k = std::clamp(from, 0, last);
  if (past(k)) {
    hi = k;
    lo = k - 1;
    for (int step = 2; lo >= 0 && past(lo); step *= 2) hi = lo, lo = hi - step;
    lo = std::max(lo, -1);
  } else {
    lo = k;
    hi = std::min(k + 1, last);
    for (int step = 2; !past(hi); step *= 2) lo = hi, hi = std::min(lo + step, last);
  }
  while (hi - lo > 1) {
    const int mid = lo + (hi - lo) / 2;
    (past(mid) ? hi : lo) = mid;
  }
  from = hi;
  return nx * hull[hi].x + ny * hull[hi].y;
}

// The largest nx * x + ny * y over all points added to the two hulls (the
// lower hull is the upper hull of the mirrored points). from: where this
// kind of query last ended on each hull.
int64_t Highest(const UpperHull& upper, const UpperHull& mirrored, int64_t nx, int64_t ny,
                int from[2]) {
  if (ny >= 0) return HighestAlong(upper, nx, ny, from[0]);
  return HighestAlong(mirrored, nx, -ny, from[1]);
}

}  // namespace

// The break test needs only the pixel farthest from the chord: the cross
// product is exact and the chord's length the same for all of them, so the
// largest |cross| decides, and it lies on a vertex of the window's convex
// hull. The hull grows by one pixel per floater step and is queried in
// logarithmic time at worst, in a few steps along a path; the comparison
// itself is the plain one, made once.
void FitAnchors(const Point* path, int n, int from, double epsilon, int emitPrevious,
                const std::function<bool(int)>& take) {
  // The hulls hold only their vertices, which stay few along digital
  // curves: they grow as needed rather than with the path.
  UpperHull upper, mirrored;
  int fromMost[2] = {0, 0}, fromLeast[2] = {0, 0};
  int a = from;
  auto addToWindow = [&](int k) {
    const HullPoint p{static_cast<int64_t>(path[k].x) - path[a].x,
                      static_cast<int64_t>(path[k].y) - path[a].y};
    upper.Add(p);
    mirrored.Add({p.x, -p.y});
  };
  if (!take(a)) return;
  int f = a + 2;
  if (f <= n) addToWindow(a + 1);
  while (f <= n) {
    const int64_t dx = path[f].x - path[a].x;
    const int64_t dy = path[f].y - path[a].y;
    bool broken = false;
    // With the floater on the anchor every cross product is 0 and 0 / 0 is
    // not a number: no break.
    if (dx != 0 || dy != 0) {
      // cross = (y - ay) * dx - (x - ax) * dy for a window point (x, y).
      const int64_t most = Highest(upper, mirrored, -dy, dx, fromMost);
      const int64_t least = -Highest(upper, mirrored, dy, -dx, fromLeast);
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
      if (!take(a)) return;
      f = a + 2;
      upper.Clear();
      mirrored.Clear();
      if (f <= n) addToWindow(a + 1);
    } else {
      addToWindow(f);
      ++f;
    }
  }
}

int SimplifyPoints(const Point* path, int n, double epsilon, int emitPrevious, Point* out,
                   int capacity, bool* cut) {
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
  bool room = true;
  FitAnchors(path, n, 0, epsilon, emitPrevious, [&](int a) { return room = emit(path[a]); });
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
