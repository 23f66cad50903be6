// Finds ink much wider than the drawing's strokes. A branch of the stroke
// graph is filled ink when its widest pixel lies at least kLeast px from
// the paper and either three times as far as the drawing's strokes
// typically do (the median over every skeleton pixel), or its whole piece
// of ink has a skeleton shorter than twice its width: ink about as wide as
// long is no stroke, whatever else the picture holds. Branches so found
// that meet at a node are one area.
#include "drawing/filled_areas.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "drawing/distance_map.h"

namespace {

constexpr double kLeast = 3;   // px: a full stop of a thin pen is no filled area
constexpr double kWider = 3;   // times the strokes' typical half width
constexpr double kStubby = 2;  // a piece of ink no longer than this many widths

// The median of the distances over every kept branch's pixels.
double TypicalHalfWidth(const StrokeGraph& g, const uint8_t* distances) {
  std::array<uint64_t, 256> count{};
  uint64_t total = 0;
  for (const Branch& b : g.branches) {
    if (b.removed) continue;
    for (uint32_t i : g.Pixels(b)) ++count[distances[i]], ++total;
  }
  uint64_t seen = 0;
  for (size_t d = 0; d < count.size(); ++d) {
    seen += count[d];
    if (2 * seen >= total) return static_cast<double>(d) / kStraightStep;
  }
  return 0;
}

int Root(std::vector<int>& parent, int n) {
  while (parent[n] != n) n = parent[n] = parent[parent[n]];
  return n;
}

}  // namespace

std::vector<FilledArea> FindFilledAreas(const StrokeGraph& g, const uint8_t* distances,
                                        int64_t width) {
  const double typical = TypicalHalfWidth(g, distances);
  // Nodes are 0..nodes-1; a branch with no node gets its own slot after
  // them. One pass joins whole pieces of ink, to find the stubby ones.
  const size_t nodes = g.nodes.size();
  std::vector<int> piece(nodes + g.branches.size());
  for (size_t i = 0; i < piece.size(); ++i) piece[i] = static_cast<int>(i);
  const auto slotOf = [&](size_t k) {
    const Branch& b = g.branches[k];
    return b.from >= 0 ? b.from : b.to >= 0 ? b.to : static_cast<int>(nodes + k);
  };
  std::vector<double> half(g.branches.size(), 0);
  for (size_t k = 0; k < g.branches.size(); ++k) {
    const Branch& b = g.branches[k];
    if (b.removed || b.count == 0) continue;
    uint8_t widest = 0;
    for (uint32_t i : g.Pixels(b)) widest = std::max(widest, distances[i]);
    half[k] = static_cast<double>(widest) / kStraightStep;
    if (b.from >= 0 && b.to >= 0) piece[Root(piece, b.from)] = Root(piece, b.to);
  }
  std::vector<double> length(piece.size(), 0), widest(piece.size(), 0);
  for (size_t k = 0; k < g.branches.size(); ++k) {
    if (half[k] == 0) continue;
    const int p = Root(piece, slotOf(k));
    length[p] += g.branches[k].count;
    widest[p] = std::max(widest[p], half[k]);
  }
  // The areas: a stubby piece whole; elsewhere the wide branches, joined
  // where they meet at a node.
  std::vector<int> parent(piece.size());
  for (size_t i = 0; i < parent.size(); ++i) parent[i] = static_cast<int>(i);
  std::vector<bool> filled(g.branches.size(), false);
  for (size_t k = 0; k < g.branches.size(); ++k) {
    if (half[k] < kLeast) continue;
    const int p = Root(piece, slotOf(k));
    const bool stubby = length[p] < kStubby * 2 * widest[p];
    if (!stubby && half[k] <= kWider * typical) continue;
    filled[k] = true;
    const Branch& b = g.branches[k];
    if (stubby) {
      parent[Root(parent, slotOf(k))] = Root(parent, p);
    } else if (b.from >= 0 && b.to >= 0) {
      parent[Root(parent, b.from)] = Root(parent, b.to);
    }
  }
  std::vector<int> area(parent.size(), -1);
  std::vector<FilledArea> found;
  for (size_t k = 0; k < g.branches.size(); ++k) {
    if (!filled[k]) continue;
    const int root = Root(parent, slotOf(k));
    if (area[root] < 0) {
      area[root] = static_cast<int>(found.size());
      found.push_back({INFINITY, INFINITY, -INFINITY, -INFINITY, 0});
    }
    FilledArea& a = found[static_cast<size_t>(area[root])];
    // The ink is the union of the skeleton's discs.
    for (uint32_t i : g.Pixels(g.branches[k])) {
      const double r = static_cast<double>(distances[i]) / kStraightStep - 0.5;
      const double x = static_cast<double>(i % width), y = static_cast<double>(i / width);
      a.x0 = std::min(a.x0, x - r), a.y0 = std::min(a.y0, y - r);
      a.x1 = std::max(a.x1, x + r), a.y1 = std::max(a.y1, y + r);
      a.halfWidth = std::max(a.halfWidth, r + 0.5);
    }
  }
  return found;
}
