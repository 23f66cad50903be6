#include "drawing/stroke_order.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Stroke ends by cell, in one array: the ends still free in cell c are
// ends[start[c], start[c] + live[c]) (2 s for a start, 2 s + 1 for an end).
// A drawing of noise has a quarter of a million strokes: a list per cell
// would cost more than the strokes.
struct Grid {
  double cell;
  int64_t columns, rows;
  std::vector<uint32_t> start, live;
  std::vector<int> ends;

  int64_t Column(double x) const {
    return std::clamp<int64_t>(static_cast<int64_t>(x / cell), 0, columns - 1);
  }
  int64_t Row(double y) const {
    return std::clamp<int64_t>(static_cast<int64_t>(y / cell), 0, rows - 1);
  }
  size_t Cell(PointF p) const { return static_cast<size_t>(Row(p.y) * columns + Column(p.x)); }
};

PointF EndPoint(const Drawing& d, int end) {
  const Stroke& s = d.strokes[end / 2];
  const DrawnPoint& p = d.points[end % 2 ? s.first + s.count - 1 : s.first];
  return {p.x, p.y};
}

}  // namespace

double PenUpLength(const Drawing& d) {
  double total = 0;
  for (size_t s = 1; s < d.strokes.size(); ++s) {
    const PointF a = EndPoint(d, static_cast<int>(2 * s - 1));
    const PointF b = EndPoint(d, static_cast<int>(2 * s));
    total += std::hypot(b.x - a.x, b.y - a.y);
  }
  return total;
}

namespace {

// Puts the drawing's strokes in the given order, in place, following each
// cycle of the permutation.
void Permute(std::vector<Stroke>& strokes, std::vector<uint32_t>& order) {
  for (size_t k = 0; k < order.size(); ++k) {
    if (order[k] == k) continue;
    Stroke held = std::move(strokes[k]);
    size_t at = k;
    while (order[at] != k) {
      const size_t from = order[at];
      strokes[at] = std::move(strokes[from]);
      order[at] = static_cast<uint32_t>(at);
      at = from;
    }
    strokes[at] = std::move(held);
    order[at] = static_cast<uint32_t>(at);
  }
}

}  // namespace

void OrderStrokes(Drawing& d) {
  const size_t n = d.strokes.size();
  if (n < 2) return;
  Grid grid;
  // About one stroke end a cell.
  grid.cell = std::max(8.0, std::sqrt(static_cast<double>(d.width) * d.height / (2.0 * n)));
  grid.columns = static_cast<int64_t>(d.width / grid.cell) + 1;
  grid.rows = static_cast<int64_t>(d.height / grid.cell) + 1;
  const size_t cells = static_cast<size_t>(grid.columns * grid.rows);
  grid.start.assign(cells + 1, 0);
  grid.live.assign(cells, 0);
  // A closed stroke starts where it ends: only its start is listed.
  const auto listed = [&](int end) { return end % 2 == 0 || !d.strokes[end / 2].closed; };
  for (int end = 0; end < static_cast<int>(2 * n); ++end) {
    if (listed(end)) ++grid.live[grid.Cell(EndPoint(d, end))];
  }
  for (size_t c = 0; c < cells; ++c) grid.start[c + 1] = grid.start[c] + grid.live[c];
  grid.ends.resize(grid.start[cells]);
  std::fill(grid.live.begin(), grid.live.end(), 0);
  for (int end = 0; end < static_cast<int>(2 * n); ++end) {
    if (!listed(end)) continue;
    const size_t c = grid.Cell(EndPoint(d, end));
    grid.ends[grid.start[c] + grid.live[c]++] = end;
  }
  std::vector<bool> done(n, false);
  std::vector<uint32_t> order;
  order.reserve(n);
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
          const size_t c = static_cast<size_t>(y * grid.columns + x);
          int* cell = grid.ends.data() + grid.start[c];
          // Ends of placed strokes are dropped as they are met.
          grid.live[c] = static_cast<uint32_t>(
              std::remove_if(cell, cell + grid.live[c], [&](int end) { return done[end / 2]; }) -
              cell);
          for (uint32_t k = 0; k < grid.live[c]; ++k) {
            const PointF p = EndPoint(d, cell[k]);
            const double distance = std::hypot(p.x - pen.x, p.y - pen.y);
            if (distance < bestDistance) bestDistance = distance, best = cell[k];
          }
        }
      }
      if (best >= 0 && bestDistance <= static_cast<double>(ring) * grid.cell) break;
      if (ring > grid.columns + grid.rows) break;
    }
    if (best % 2) d.Reverse(d.strokes[best / 2]);
    const std::span<DrawnPoint> points = d.Points(d.strokes[best / 2]);
    done[best / 2] = true;
    pen = {points.back().x, points.back().y};
    order.push_back(static_cast<uint32_t>(best / 2));
  }
  grid = Grid{};
  Permute(d.strokes, order);
}
