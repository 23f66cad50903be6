// Finds ink much wider than the drawing's strokes. A branch of the stroke
// graph is filled ink when its widest pixel lies at least kLeast px from
// the paper and either three times as far as the drawing's strokes
// typically do (the median over every skeleton pixel), or its piece of
// such wide ink (its branches at least kLeast from the paper, joined at
// nodes) has a skeleton shorter than twice its width and is half as wide
// again as any stroke it lies on: ink about as wide as long is no stroke,
// whatever else the picture holds. Branches so found that meet at a node
// are one area.
#include "drawing/filled_areas.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "drawing/distance_map.h"

namespace {

constexpr double kLeast = 3;   // px: a full stop of a thin pen is no filled area
constexpr double kWider = 3;   // times the strokes' typical half width
constexpr double kStubby = 2;  // a piece of ink no longer than this many widths
// A stubby piece on a stroke is this many times wider than the stroke, or
// it is where the stroke's arms leave it (a junction's ink is up to 1.4
// times wider, and the stroke's own may lie just under kLeast).
constexpr double kOnStroke = 1.5;

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
  // Only branches at least kLeast from the paper can be filled ink: on a
  // picture of noise there are millions of branches and none of them, so
  // nothing is kept per branch or node of the whole graph.
  std::vector<uint32_t> wide;
  std::vector<uint8_t> widest;
  for (size_t k = 0; k < g.branches.size(); ++k) {
    const Branch& b = g.branches[k];
    if (b.removed || b.count == 0) continue;
    uint8_t most = 0;
    for (uint32_t i : g.Pixels(b)) most = std::max(most, distances[i]);
    if (static_cast<double>(most) / kStraightStep < kLeast) continue;
    wide.push_back(static_cast<uint32_t>(k));
    widest.push_back(most);
  }
  if (wide.empty()) return {};
  const double typical = TypicalHalfWidth(g, distances);
  // Slots: the wide branches' nodes, then one for each wide branch with no
  // node. Pieces are wide branches joined at nodes.
  std::vector<int> nodes;
  for (uint32_t k : wide) {
    for (int n : {g.branches[k].from, g.branches[k].to}) {
      if (n >= 0) nodes.push_back(n);
    }
  }
  std::sort(nodes.begin(), nodes.end());
  nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
  const auto nodeSlot = [&](int n) {
    return static_cast<int>(std::lower_bound(nodes.begin(), nodes.end(), n) - nodes.begin());
  };
  const auto slotOf = [&](size_t j) {
    const Branch& b = g.branches[wide[j]];
    const int n = b.from >= 0 ? b.from : b.to;
    return n < 0 ? static_cast<int>(nodes.size() + j) : nodeSlot(n);
  };
  std::vector<int> piece(nodes.size() + wide.size());
  for (size_t i = 0; i < piece.size(); ++i) piece[i] = static_cast<int>(i);
  for (size_t j = 0; j < wide.size(); ++j) {
    const Branch& b = g.branches[wide[j]];
    if (b.from < 0 || b.to < 0) continue;
    piece[Root(piece, nodeSlot(b.from))] = Root(piece, nodeSlot(b.to));
  }
  std::vector<double> length(piece.size(), 0), most(piece.size(), 0);
  for (size_t j = 0; j < wide.size(); ++j) {
    const int p = Root(piece, slotOf(j));
    length[p] += g.branches[wide[j]].count;
    most[p] = std::max(most[p], static_cast<double>(widest[j]) / kStraightStep);
  }
  // By piece, the half width of the narrower branches that meet it: the
  // strokes it lies on, if any. O(branches log nodes).
  std::vector<double> onStroke(piece.size(), 0);
  const auto isNode = [&](int n) {
    return n >= 0 && std::binary_search(nodes.begin(), nodes.end(), n);
  };
  for (const Branch& b : g.branches) {
    if (b.removed || !(isNode(b.from) || isNode(b.to))) continue;
    uint8_t widestHere = 0;
    for (uint32_t i : g.Pixels(b)) widestHere = std::max(widestHere, distances[i]);
    const double half = static_cast<double>(widestHere) / kStraightStep;
    if (half >= kLeast) continue;  // a wide branch: part of a piece
    for (int n : {b.from, b.to}) {
      if (!isNode(n)) continue;
      const int p = Root(piece, nodeSlot(n));
      onStroke[p] = std::max(onStroke[p], half);
    }
  }
  // The areas: a stubby piece whole; in a long one the branches three
  // times wider than the strokes, joined where they meet at a node.
  std::vector<int> parent(piece.size());
  for (size_t i = 0; i < parent.size(); ++i) parent[i] = static_cast<int>(i);
  std::vector<bool> filled(wide.size(), false);
  for (size_t j = 0; j < wide.size(); ++j) {
    const int p = Root(piece, slotOf(j));
    const bool stubby = length[p] < kStubby * 2 * most[p] && most[p] > kOnStroke * onStroke[p];
    if (!stubby && static_cast<double>(widest[j]) / kStraightStep <= kWider * typical) continue;
    filled[j] = true;
    const Branch& b = g.branches[wide[j]];
    if (stubby) {
      parent[Root(parent, slotOf(j))] = Root(parent, p);
    } else if (b.from >= 0 && b.to >= 0) {
      parent[Root(parent, slotOf(j))] = Root(parent, nodeSlot(b.to));
    }
  }
  std::vector<int> area(parent.size(), -1);
  std::vector<FilledArea> found;
  for (size_t j = 0; j < wide.size(); ++j) {
    if (!filled[j]) continue;
    const int root = Root(parent, slotOf(j));
    if (area[root] < 0) {
      area[root] = static_cast<int>(found.size());
      found.push_back({INFINITY, INFINITY, -INFINITY, -INFINITY, 0});
    }
    FilledArea& a = found[static_cast<size_t>(area[root])];
    // The ink is the union of the skeleton's discs.
    for (uint32_t i : g.Pixels(g.branches[wide[j]])) {
      const double r = static_cast<double>(distances[i]) / kStraightStep - 0.5;
      const double x = static_cast<double>(i % width), y = static_cast<double>(i / width);
      a.x0 = std::min(a.x0, x - r), a.y0 = std::min(a.y0, y - r);
      a.x1 = std::max(a.x1, x + r), a.y1 = std::max(a.y1, y + r);
      a.halfWidth = std::max(a.halfWidth, r + 0.5);
    }
  }
  return found;
}
