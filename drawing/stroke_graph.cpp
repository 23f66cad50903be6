#include "drawing/stroke_graph.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>

#include "drawing/distance_map.h"
#include "drawing/thinning.h"

double Node::Radius() const {
  return static_cast<double>(maxDistance) / kStraightStep;
}

int RootNode(std::vector<Node>& nodes, int node) {
  while (nodes[node].parent >= 0) {
    const int up = nodes[node].parent;
    if (nodes[up].parent >= 0) nodes[node].parent = nodes[up].parent;
    node = up;
  }
  return node;
}

namespace {

constexpr uint8_t kOnSkeleton = 1;
constexpr uint8_t kVisited = 2;
constexpr uint8_t kJunction = 4;
constexpr uint32_t kNone = UINT32_MAX;

struct Builder {
  GrayImage& s;
  const uint8_t* distances;
  int64_t w;
  std::vector<uint32_t> junctions;  // raster order, so sorted
  std::vector<int> junctionNode;
  StrokeGraph graph;

  uint8_t& At(uint32_t i) { return s.pixels[i]; }

  int NodeOfJunction(uint32_t i) const {
    const auto it = std::lower_bound(junctions.begin(), junctions.end(), i);
    return junctionNode[it - junctions.begin()];
  }

  // The skeleton neighbours of pixel i.
  int Neighbours(uint32_t i, uint32_t* out) const {
    const int64_t x = i % w, y = i / w;
    const uint8_t code = NeighbourCode(s, x, y);
    int n = 0;
    for (int k = 0; k < 8; ++k) {
      if ((code >> k) & 1) out[n++] = static_cast<uint32_t>((y + kRingY[k]) * w + x + kRingX[k]);
    }
    return n;
  }

  void FindJunctions() {
    const int64_t total = static_cast<int64_t>(s.PixelCount());
    for (int64_t i = 0; i < total; ++i) {
      if (s.pixels[i] && std::popcount(NeighbourCode(s, i % w, i / w)) >= 3) {
        junctions.push_back(static_cast<uint32_t>(i));
      }
    }
    for (uint32_t i : junctions) At(i) |= kJunction;
  }

  // Junction pixels that touch are one node.
  void ClusterJunctions() {
    std::vector<int> parent(junctions.size());
    std::iota(parent.begin(), parent.end(), 0);
    const auto find = [&](int a) {
      while (parent[a] != a) a = parent[a] = parent[parent[a]];
      return a;
    };
    for (size_t j = 0; j < junctions.size(); ++j) {
      uint32_t near[8];
      const int n = Neighbours(junctions[j], near);
      for (int k = 0; k < n; ++k) {
        if (!(At(near[k]) & kJunction)) continue;
        const auto it = std::lower_bound(junctions.begin(), junctions.end(), near[k]);
        parent[find(static_cast<int>(it - junctions.begin()))] = find(static_cast<int>(j));
      }
    }
    junctionNode.assign(junctions.size(), -1);
    std::vector<int> nodeOfRoot(junctions.size(), -1);
    for (size_t j = 0; j < junctions.size(); ++j) {
      const int root = find(static_cast<int>(j));
      if (nodeOfRoot[root] < 0) {
        nodeOfRoot[root] = static_cast<int>(graph.nodes.size());
        graph.nodes.emplace_back();
      }
      junctionNode[j] = nodeOfRoot[root];
      Node& node = graph.nodes[junctionNode[j]];
      node.sumX += static_cast<double>(junctions[j] % w);
      node.sumY += static_cast<double>(junctions[j] / w);
      ++node.pixels;
      node.maxDistance = std::max<int>(node.maxDistance, distances[junctions[j]]);
    }
  }

  // Follows the skeleton from first (entered from prev, a pixel or kNone)
  // through pixels of two neighbours to a free end, a node or, for a ring,
  // back to first.
  void Walk(uint32_t first, int fromNode, uint32_t prev) {
    Branch b;
    b.from = fromNode;
    uint32_t current = first;
    for (;;) {
      At(current) |= kVisited;
      b.pixels.push_back(current);
      uint32_t near[8];
      const int n = Neighbours(current, near);
      uint32_t next = kNone;
      int node = -1, candidates = 0;
      bool ring = false;
      for (int k = 0; k < n; ++k) {
        const uint32_t q = near[k];
        if (q == prev) continue;
        if (At(q) & kJunction) {
          const int m = NodeOfJunction(q);
          if (m == fromNode && b.pixels.size() < 3) continue;  // the node just left
          if (m != node) ++candidates;
          node = m;
        } else if (At(q) & kVisited) {
          ring |= q == first && b.pixels.size() >= 3 && fromNode < 0;
        } else {
          next = q;
          ++candidates;
        }
      }
      if (candidates == 1 && next != kNone) {
        prev = current;
        current = next;
        continue;
      }
      if (candidates == 1) b.to = node;
      b.loop = ring && candidates == 0;
      break;
    }
    graph.branches.push_back(std::move(b));
  }

  void WalkBranches() {
    for (size_t j = 0; j < junctions.size(); ++j) {
      uint32_t near[8];
      const int n = Neighbours(junctions[j], near);
      for (int k = 0; k < n; ++k) {
        if (!(At(near[k]) & (kJunction | kVisited))) Walk(near[k], junctionNode[j], junctions[j]);
      }
    }
    const int64_t total = static_cast<int64_t>(s.PixelCount());
    for (int64_t i = 0; i < total; ++i) {  // free ends and lone pixels
      if (s.pixels[i] == kOnSkeleton && std::popcount(NeighbourCode(s, i % w, i / w)) <= 1) {
        Walk(static_cast<uint32_t>(i), -1, kNone);
      }
    }
    for (int64_t i = 0; i < total; ++i) {  // what is left are rings
      if (s.pixels[i] == kOnSkeleton) {
        uint32_t near[8];
        Neighbours(static_cast<uint32_t>(i), near);
        Walk(static_cast<uint32_t>(i), -1, near[0]);
      }
    }
  }
};

// Ink components whose skeleton has fewer than minLength pixels, and
// lone junction clusters with no branch, are dropped and counted.
void DropSpecks(StrokeGraph& g, int minLength) {
  std::vector<Node>& nodes = g.nodes;
  for (const Branch& b : g.branches) {
    if (b.from >= 0 && b.to >= 0 && RootNode(nodes, b.from) != RootNode(nodes, b.to)) {
      nodes[RootNode(nodes, b.from)].parent = RootNode(nodes, b.to);
    }
  }
  std::vector<int64_t> size(nodes.size(), 0);
  std::vector<bool> hasBranch(nodes.size(), false);
  for (size_t n = 0; n < nodes.size(); ++n) {
    size[RootNode(nodes, static_cast<int>(n))] += nodes[n].pixels;
  }
  for (const Branch& b : g.branches) {
    const int node = b.from >= 0 ? b.from : b.to;
    if (node < 0) continue;
    size[RootNode(nodes, node)] += static_cast<int64_t>(b.pixels.size());
    hasBranch[RootNode(nodes, node)] = true;
  }
  std::vector<bool> dropped(nodes.size(), false);
  for (size_t n = 0; n < nodes.size(); ++n) {
    if (nodes[n].parent < 0 && (size[n] < minLength || !hasBranch[n])) {
      dropped[n] = true;
      ++g.specks;
    }
  }
  for (Branch& b : g.branches) {
    const int node = b.from >= 0 ? b.from : b.to;
    if (node >= 0) {
      b.removed = dropped[RootNode(nodes, node)];
    } else if (static_cast<int64_t>(b.pixels.size()) < minLength) {
      b.removed = true;
      ++g.specks;
    }
  }
  for (Node& node : nodes) node.parent = -1;  // components only; merging comes later
}

std::vector<int> Degrees(StrokeGraph& g) {
  std::vector<int> degree(g.nodes.size(), 0);
  for (const Branch& b : g.branches) {
    if (b.removed) continue;
    if (b.from >= 0) ++degree[RootNode(g.nodes, b.from)];
    if (b.to >= 0) ++degree[RootNode(g.nodes, b.to)];
  }
  return degree;
}

// Side branches from a junction to a free end, shorter than the stroke is
// wide there, are noise of the outline, not strokes.
void PruneSpurs(StrokeGraph& g) {
  for (int round = 0; round < 2; ++round) {
    const std::vector<int> degree = Degrees(g);
    for (Branch& b : g.branches) {
      if (b.removed || (b.from >= 0) == (b.to >= 0)) continue;
      const int node = RootNode(g.nodes, b.from >= 0 ? b.from : b.to);
      if (degree[node] >= 3 && static_cast<double>(b.pixels.size()) < 2 * g.nodes[node].Radius()) {
        b.removed = true;
        ++g.spurs;
      }
    }
  }
}

// Two junctions joined by a branch shorter than the stroke width are one
// crossing (an X of thick strokes thins to two forks and a bridge).
void MergeCloseNodes(StrokeGraph& g, const GrayImage& s) {
  const int64_t w = s.width;
  for (Branch& b : g.branches) {
    if (b.removed || b.from < 0 || b.to < 0) continue;
    const int a = RootNode(g.nodes, b.from), c = RootNode(g.nodes, b.to);
    if (a == c) continue;
    const double width = 2 * std::max(g.nodes[a].Radius(), g.nodes[c].Radius());
    if (static_cast<double>(b.pixels.size()) > width) continue;
    b.removed = true;
    Node& into = g.nodes[a];
    const Node& from = g.nodes[c];
    into.sumX += from.sumX, into.sumY += from.sumY, into.pixels += from.pixels;
    into.maxDistance = std::max(into.maxDistance, from.maxDistance);
    for (uint32_t i : b.pixels) {
      into.sumX += static_cast<double>(i % w), into.sumY += static_cast<double>(i / w);
      ++into.pixels;
    }
    g.nodes[c].parent = a;
  }
  for (Branch& b : g.branches) {
    if (b.from >= 0) b.from = RootNode(g.nodes, b.from);
    if (b.to >= 0) b.to = RootNode(g.nodes, b.to);
  }
}

// A skeleton runs out to the round cap's edge; the centreline ends at the
// cap's centre, where the distance to the paper stops growing.
void TrimFreeEnds(StrokeGraph& g, const uint8_t* distances) {
  for (Branch& b : g.branches) {
    if (b.removed || b.loop) continue;
    for (int end = 0; end < 2; ++end) {
      if ((end == 0 ? b.from : b.to) >= 0) continue;
      std::vector<uint32_t>& p = b.pixels;
      if (end == 1) std::reverse(p.begin(), p.end());
      size_t cut = 0;
      while (cut + 1 < p.size() / 2 && distances[p[cut + 1]] > distances[p[cut]]) ++cut;
      p.erase(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(cut));
      if (end == 1) std::reverse(p.begin(), p.end());
    }
  }
}

}  // namespace

// Defined in stroke_joins.cpp.
void JoinAndRun(StrokeGraph& graph, int64_t width);

StrokeGraph BuildStrokeGraph(GrayImage& skeleton, const uint8_t* distances,
                             const GraphOptions& options) {
  Builder builder{skeleton, distances, skeleton.width, {}, {}, {}};
  builder.FindJunctions();
  builder.ClusterJunctions();
  builder.WalkBranches();
  std::fill(skeleton.pixels.get(), skeleton.pixels.get() + skeleton.PixelCount(), 0);
  StrokeGraph& g = builder.graph;
  DropSpecks(g, options.minLength);
  PruneSpurs(g);
  MergeCloseNodes(g, skeleton);
  TrimFreeEnds(g, distances);
  JoinAndRun(g, skeleton.width);
  return std::move(g);
}
