#include "drawing/stroke_order.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

struct Grid {
  double cell;
  int64_t columns, rows;
  std::vector<std::vector<int>> ends;  // stroke end ids: 2 s (start), 2 s + 1 (end)

  int64_t Column(double x) const {
    return std::clamp<int64_t>(static_cast<int64_t>(x / cell), 0, columns - 1);
  }
  int64_t Row(double y) const {
    return std::clamp<int64_t>(static_cast<int64_t>(y / cell), 0, rows - 1);
  }
};

const PointF& EndPoint(const Drawing& d, int end) {
  const Stroke& s = d.strokes[end / 2];
  return end % 2 ? s.points.back() : s.points.front();
}

}  // namespace

double PenUpLength(const Drawing& d) {
  double total = 0;
  for (size_t s = 1; s < d.strokes.size(); ++s) {
    const PointF& a = d.strokes[s - 1].points.back();
    const PointF& b = d.strokes[s].points.front();
    total += std::hypot(b.x - a.x, b.y - a.y);
  }
  return total;
}

void OrderStrokes(Drawing& d) {
  const size_t n = d.strokes.size();
  if (n < 2) return;
  Grid grid;
  // About one stroke end a cell.
  grid.cell = std::max(8.0, std::sqrt(static_cast<double>(d.width) * d.height / (2.0 * n)));
  grid.columns = static_cast<int64_t>(d.width / grid.cell) + 1;
  grid.rows = static_cast<int64_t>(d.height / grid.cell) + 1;
  grid.ends.resize(static_cast<size_t>(grid.columns * grid.rows));
  for (size_t s = 0; s < n; ++s) {
    for (int end : {static_cast<int>(2 * s), static_cast<int>(2 * s + 1)}) {
      if (end % 2 && d.strokes[s].closed) continue;  // a closed stroke starts where it ends
      const PointF& p = EndPoint(d, end);
      grid.ends[grid.Row(p.y) * grid.columns + grid.Column(p.x)].push_back(end);
    }
  }
  std::vector<bool> done(n, false);
  std::vector<Stroke> ordered;
  ordered.reserve(n);
  PointF pen{0, 0};
  for (size_t placed = 0; placed < n; ++placed) {
    // Rings of cells around the pen, until no nearer end can lie further out.
    const int64_t cx = grid.Column(pen.x), cy = grid.Row(pen.y);
    int best = -1;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (int64_t ring = 0;; ++ring) {
      for (int64_t y = cy - ring; y <= cy + ring; ++y) {
        if (y < 0 || y >= grid.rows) continue;
        const int64_t step = (y == cy - ring || y == cy + ring) ? 1 : 2 * ring;
        for (int64_t x = cx - ring; x <= cx + ring; x += std::max<int64_t>(step, 1)) {
          if (x < 0 || x >= grid.columns) continue;
          std::vector<int>& cell = grid.ends[y * grid.columns + x];
          // Ends of placed strokes are dropped as they are met.
          std::erase_if(cell, [&](int end) { return done[end / 2]; });
          for (int end : cell) {
            const PointF& p = EndPoint(d, end);
            const double distance = std::hypot(p.x - pen.x, p.y - pen.y);
            if (distance < bestDistance) bestDistance = distance, best = end;
          }
        }
      }
      if (best >= 0 && bestDistance <= static_cast<double>(ring) * grid.cell) break;
      if (ring > grid.columns + grid.rows) break;
    }
    Stroke stroke = std::move(d.strokes[best / 2]);
    done[best / 2] = true;
    if (best % 2) std::reverse(stroke.points.begin(), stroke.points.end());
    pen = stroke.points.back();
    ordered.push_back(std::move(stroke));
  }
  d.strokes = std::move(ordered);
}
