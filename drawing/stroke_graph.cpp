#include "drawing/stroke_graph.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>

#include "drawing/corner_touch.h"
#include "drawing/distance_map.h"
#include "drawing/ink_probe.h"
#include "drawing/line_fit.h"
#include "drawing/pixel_bits.h"
#include "drawing/thinning.h"

double Node::Radius() const {
  return static_cast<double>(maxDistance) / kStraightStep;
}

namespace {

// The pixel k along a branch from its end `end`, or its last.
uint32_t PixelFrom(const StrokeGraph& g, int end, size_t k) {
  const std::span<const uint32_t> pixels = g.Pixels(g.branches[end / 2]);
  k = std::min(k, pixels.size() - 1);
  return end % 2 ? pixels[pixels.size() - 1 - k] : pixels[k];
}

}  // namespace

void BranchDirection(const StrokeGraph& g, int end, int64_t width, double& dx, double& dy) {
  const Branch& b = g.branches[end / 2];
  const Node& node = g.nodes[end % 2 ? b.to : b.from];
  const uint32_t i =
      PixelFrom(g, end, std::max<size_t>(3, static_cast<size_t>(std::lround(2 * node.Radius()))));
  dx = static_cast<double>(i % width) - node.X();
  dy = static_cast<double>(i / width) - node.Y();
  const double length = std::hypot(dx, dy);
  if (length > 0) dx /= length, dy /= length;
}

namespace {

// The stretch of a branch its own direction is taken over, in pixels out
// of its node: from two of the node's radii out (nearer, the node's ink
// bends it) to `farthest`. A branch to another node is measured on its
// own half: past it, it bends towards that node (a ring's arc between two
// crossings would seem to run alongside the line it crosses).
struct Stretch {
  size_t near, far;
};

Stretch OwnStretch(const StrokeGraph& g, int end, double radius, double farthest) {
  const Branch& branch = g.branches[end / 2];
  const size_t own = branch.from >= 0 && branch.to >= 0 ? branch.count / 2 : branch.count - 1;
  const size_t far = std::min(static_cast<size_t>(std::lround(farthest)), own);
  return {std::min(static_cast<size_t>(std::lround(2 * radius)), far / 2), far};
}

// The stretch a branch's own direction past a junction is taken over:
// out to eight pixels past two of the node's radii, or to twice as far on
// a thick stroke.
Stretch PastNode(const StrokeGraph& g, int end, double radius) {
  return OwnStretch(g, end, radius, std::max(4 * radius, 2 * radius + 8));
}

// The unit direction from the stretch's near pixel to its far one; from
// the node where they are one pixel.
PointF DirectionOver(const StrokeGraph& g, int end, Stretch s, int64_t width) {
  const uint32_t a = PixelFrom(g, end, s.near), b = PixelFrom(g, end, s.far);
  PointF d;
  if (a == b) {
    BranchDirection(g, end, width, d.x, d.y);
    return d;
  }
  d.x = static_cast<double>(b % width) - static_cast<double>(a % width);
  d.y = static_cast<double>(b / width) - static_cast<double>(a / width);
  const double length = std::hypot(d.x, d.y);
  return {d.x / length, d.y / length};
}

// A branch's direction and half width where it leaves a junction.
struct Arm {
  double dx, dy, half;
};

// Each branch's own direction and half width, from one to two of the
// junction's widths out: a branch leaves a junction aside of its line (the
// forks of an acute X lie between the strokes), so the direction from the
// junction would widen the angle.
std::vector<Arm> ArmsAt(const StrokeGraph& g, int node, std::span<const int> ends,
                        const uint8_t* distances, int64_t width) {
  const double radius = std::max(1.0, g.nodes[node].Radius());
  std::vector<Arm> arms(ends.size());
  for (size_t i = 0; i < ends.size(); ++i) {
    const Stretch s = OwnStretch(g, ends[i], radius, 4 * radius);
    const PointF d = DirectionOver(g, ends[i], s, width);
    // The narrowest there: nearer, the junction's ink widens it.
    uint8_t least = UINT8_MAX;
    for (size_t k = s.near; k <= s.far; ++k) {
      least = std::min(least, distances[PixelFrom(g, ends[i], k)]);
    }
    arms[i] = {d.x, d.y, static_cast<double>(least) / kStraightStep};
  }
  return arms;
}

constexpr double kSharpest = 0.35;  // 20 degrees: nearer, the branches are one ink

// The sine of the angle between two arms; 1 for a right or wider angle,
// which bends them no farther than a right one.
double SineBetween(const Arm& a, const Arm& b) {
  const bool acute = a.dx * b.dx + a.dy * b.dy > 0;
  return acute ? std::fabs(a.dx * b.dy - a.dy * b.dx) : 1.0;
}

// The sine of the sharpest angle between a junction's branches, no less
// than kSharpest's.
double SharpestSine(const StrokeGraph& g, int node, std::span<const int> ends,
                    const uint8_t* distances, int64_t width) {
  const std::vector<Arm> arms = ArmsAt(g, node, ends, distances, width);
  double smallest = 1;
  for (size_t i = 0; i < arms.size(); ++i) {
    for (size_t j = i + 1; j < arms.size(); ++j) {
      smallest = std::min(smallest, SineBetween(arms[i], arms[j]));
    }
  }
  return std::max(smallest, kSharpest);
}

}  // namespace

double JunctionReach(const StrokeGraph& g, int node, std::span<const int> ends,
                     const uint8_t* distances, int64_t width, ReachOf of) {
  std::vector<Arm> arms = ArmsAt(g, node, ends, distances, width);
  if (of == ReachOf::kCorner) {
    for (Arm& arm : arms) arm.half += 0.5;
  }
  double reach = 2;
  for (size_t i = 0; i < arms.size(); ++i) {
    for (size_t j = i + 1; j < arms.size(); ++j) {
      reach = std::max(reach, (arms[i].half + arms[j].half) /
                                  std::max(SineBetween(arms[i], arms[j]), kSharpest));
    }
  }
  // A node moved to a sharp corner's vertex: the arms' skeletons still
  // bend towards the junction their inks made, up to two pixels past it
  // (where the inks part, the paper between them shows only once it is
  // about a pixel wide).
  return std::max(reach, g.nodes[node].moved + 2.0);
}

namespace {

// Nodes up to these radii lie in lines up to about 3 and 5 px wide.
constexpr double kThinNode = 1.5, kNarrowNode = 2.5;

// A branch where it leaves a thin node: its first pixel, and its own
// direction to eight pixels past two of the node's radii (the first few
// pixels of a thin line lean with its stairs).
struct Leaving {
  double x, y;
  PointF d;
};

Leaving LeavingAt(const StrokeGraph& g, int end, double radius, int64_t width) {
  const uint32_t first = PixelFrom(g, end, 0);
  const Stretch s = PastNode(g, end, radius);
  return {static_cast<double>(first % width), static_cast<double>(first / width),
          DirectionOver(g, end, s, width)};
}

}  // namespace

std::vector<double> PairStraightness(const StrokeGraph& g, int node, std::span<const int> ends,
                                     int64_t width) {
  constexpr double kLongChord = 3;  // beyond a diagonal step and one more
  const size_t n = ends.size();
  std::vector<PointF> from(n);
  for (size_t i = 0; i < n; ++i) BranchDirection(g, ends[i], width, from[i].x, from[i].y);
  const double radius = std::max(1.0, g.nodes[node].Radius());
  std::vector<Leaving> leaving;
  const bool thin = g.nodes[node].Radius() <= kThinNode;
  if (g.nodes[node].Radius() <= kNarrowNode) {
    for (int end : ends) leaving.push_back(LeavingAt(g, end, radius, width));
  }
  std::vector<double> straight(n * n, -1);
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = i + 1; j < n; ++j) {
      double s = -(from[i].x * from[j].x + from[i].y * from[j].y);
      if (!leaving.empty()) {
        const Leaving &p = leaving[i], &q = leaving[j];
        const double ux = p.x - q.x, uy = p.y - q.y, chord = std::hypot(ux, uy);
        if (thin && chord >= kLongChord) {
          s = std::min(p.d.x * ux + p.d.y * uy, -(q.d.x * ux + q.d.y * uy)) / chord;
        } else if (n == 4 && std::max(std::fabs(p.d.x * uy - p.d.y * ux),
                                      std::fabs(q.d.x * uy - q.d.y * ux)) > 2 * radius) {
          // At a node of four ends, one leaves beside the other's line,
          // farther than the node is wide: two strokes side by side (the
          // stems of a script's H, tied by its short bar), not one. Not at
          // more ends: on noise, refusing such pairs at every knot made a
          // quarter more strokes, and their memory.
          s = -1;
        } else {
          s = std::max(s, -(p.d.x * q.d.x + p.d.y * q.d.y));
          if (thin && chord > 0) {
            // Too short a chord to measure by, but between two pairs as
            // straight it tells the one whose ends line up from a line
            // ending beside another (lines a pixel apart).
            s += 0.01 * (p.d.x * ux + p.d.y * uy - (q.d.x * ux + q.d.y * uy)) / (2 * chord);
          }
        }
      }
      straight[i * n + j] = straight[j * n + i] = s;
    }
  }
  return straight;
}

NodeEnds EndsAtNodes(const StrokeGraph& g) {
  NodeEnds e;
  e.start.assign(g.nodes.size() + 1, 0);
  for (const Branch& b : g.branches) {
    if (b.removed) continue;
    if (b.from >= 0) ++e.start[b.from + 1];
    if (b.to >= 0) ++e.start[b.to + 1];
  }
  for (size_t n = 0; n < g.nodes.size(); ++n) e.start[n + 1] += e.start[n];
  e.ends.resize(e.start.back());
  std::vector<uint32_t> at(e.start.begin(), e.start.end() - 1);
  for (size_t b = 0; b < g.branches.size(); ++b) {
    const Branch& branch = g.branches[b];
    if (branch.removed) continue;
    if (branch.from >= 0) e.ends[at[branch.from]++] = static_cast<int>(2 * b);
    if (branch.to >= 0) e.ends[at[branch.to]++] = static_cast<int>(2 * b + 1);
  }
  return e;
}

namespace {

// The node a merged node now belongs to.
// parent: for each node, the node it was merged into, or -1.
int RootNode(std::vector<int>& parent, int node) {
  while (parent[node] >= 0) {
    const int up = parent[node];
    if (parent[up] >= 0) parent[node] = parent[up];
    node = up;
  }
  return node;
}

constexpr uint32_t kNone = UINT32_MAX;
// The most pixels a branch's count holds. A longer line (only on a picture
// over a gigapixel) goes on as a branch of its own, which the walk over
// what is left picks up.
constexpr uint32_t kMostBranchPixels = (uint32_t{1} << 30) - 1;

// The walk over the skeleton, held in bit maps rather than the byte mask
// (freed once read): on a picture of noise half the skeleton is junctions,
// and the graph needs the room.
struct Builder {
  const uint8_t* distances;
  int64_t w, h;
  PixelBits skeleton, junction, visited;
  PixelBits touched;             // pixels with links left out
  std::vector<uint8_t> touches;  // those links, by the pixel's rank
  uint64_t endPixels = 0;
  uint64_t skeletonPixels = 0, junctionPixels = 0;
  uint64_t branchesAtMost = 0;    // walks from junctions and ends
  std::vector<int> junctionNode;  // by the junction's rank
  StrokeGraph graph;
  RowFinder rows;

  Builder(const uint8_t* d, int64_t width, int64_t height)
      : distances(d),
        w(width),
        h(height),
        skeleton(static_cast<uint64_t>(width * height)),
        junction(static_cast<uint64_t>(width * height)),
        touched(static_cast<uint64_t>(width * height)),
        rows(width) {}

  int NodeOfJunction(uint32_t i) const { return junctionNode[junction.Rank(i)]; }

  // The skeleton neighbours pixel i is linked to.
  int Neighbours(uint32_t i, uint32_t* out) const {
    const int64_t y = rows.Row(i), x = i - y * w;
    const bool inside = x > 0 && y > 0 && x + 1 < w && y + 1 < h;
    const uint8_t left = touches.empty() || !touched.Get(i) ? 0 : touches[touched.Rank(i)];
    int n = 0;
    for (int k = 0; k < 8; ++k) {
      const int64_t nx = x + kRingX[k], ny = y + kRingY[k];
      if ((!inside && (nx < 0 || ny < 0 || nx >= w || ny >= h)) || (left >> k & 1)) continue;
      const uint64_t q = static_cast<uint64_t>(ny * w + nx);
      if (skeleton.Get(q)) out[n++] = static_cast<uint32_t>(q);
    }
    return n;
  }

  // Skeleton pixels, junctions (three links or more) and ends (one or
  // none), in one pass over the rows of the byte mask.
  void FindJunctions(const GrayImage& s) {
    for (int64_t y = 0; y < s.height; ++y) {
      const uint8_t* row = s.Row(y);
      for (int64_t x = SkipZeros(row, 0, w); x < w; x = SkipZeros(row, x + 1, w)) {
        const uint32_t i = static_cast<uint32_t>(y * w + x);
        skeleton.Set(i);
        ++skeletonPixels;
        const uint8_t left = TouchLinks(row[x]);
        if (left) touched.Set(i), touches.push_back(left);
        const int n = NeighbourCount(NeighbourCode(s, x, y) & static_cast<uint8_t>(~left));
        if (n >= 3) junction.Set(i), ++junctionPixels;
        endPixels += n <= 1;
      }
    }
    touched.CountRanks();
    junction.CountRanks();
  }

  // Junction pixels that touch are one node.
  void ClusterJunctions() {
    std::vector<int> parent(junctionPixels);
    std::iota(parent.begin(), parent.end(), 0);
    const auto find = [&](int a) {
      while (parent[a] != a) a = parent[a] = parent[parent[a]];
      return a;
    };
    int j = 0;
    junction.ForEach([&](uint64_t i) {
      uint32_t near[8];
      const int n = Neighbours(static_cast<uint32_t>(i), near);
      for (int k = 0; k < n; ++k) {
        if (!junction.Get(near[k])) {
          ++branchesAtMost;
          continue;
        }
        parent[find(static_cast<int>(junction.Rank(near[k])))] = find(j);
      }
      ++j;
    });
    // Numbered in the order of the nodes' first pixels, in the spent
    // parent array: an entry -1 - n is node n, for a root and then for
    // each pixel as its turn comes.
    size_t roots = 0;
    for (size_t k = 0; k < parent.size(); ++k) {
      parent[k] = find(static_cast<int>(k));
      roots += parent[k] == static_cast<int>(k);
    }
    graph.nodes.reserve(roots);
    j = 0;
    junction.ForEach([&](uint64_t i) {
      if (parent[j] >= 0) {
        const int root = parent[j];
        if (parent[root] >= 0) {
          parent[root] = -1 - static_cast<int>(graph.nodes.size());
          graph.nodes.emplace_back();
        }
        parent[j] = parent[root];
      }
      Node& node = graph.nodes[-1 - parent[j]];
      node.sumX += static_cast<double>(i % static_cast<uint64_t>(w));
      node.sumY += static_cast<double>(i / static_cast<uint64_t>(w));
      ++node.pixels;
      node.maxDistance = std::max(node.maxDistance, distances[i]);
      ++j;
    });
    for (int& n : parent) n = -1 - n;
    junctionNode = std::move(parent);
  }

  // Follows the skeleton from first (entered from prev, a pixel or kNone)
  // through pixels of two neighbours to a free end, a node or, for a ring,
  // back to first.
  void Walk(uint32_t first, int fromNode, uint32_t prev) {
    Branch b;
    b.from = fromNode;
    uint32_t current = first;
    for (;;) {
      visited.Set(current);
      graph.pool.push_back(current);
      ++b.count;
      uint32_t near[8];
      const int n = Neighbours(current, near);
      uint32_t next = kNone;
      int node = -1, candidates = 0;
      bool ring = false;
      for (int k = 0; k < n; ++k) {
        const uint32_t q = near[k];
        if (q == prev) continue;
        if (junction.Get(q)) {
          const int m = NodeOfJunction(q);
          if (m == fromNode && b.count < 3) continue;  // the node just left
          if (m != node) ++candidates;
          node = m;
        } else if (visited.Get(q)) {
          ring |= q == first && b.count >= 3 && fromNode < 0;
        } else {
          next = q;
          ++candidates;
        }
      }
      if (candidates == 1 && next != kNone && b.count < kMostBranchPixels) {
        prev = current;
        current = next;
        continue;
      }
      if (candidates == 1) b.to = node;
      b.loop = ring && candidates == 0;
      break;
    }
    graph.branches.push_back(b);
  }

  void WalkBranches() {
    visited = PixelBits(static_cast<uint64_t>(w * h));  // once the byte mask is gone
    // Reserved at their most; the pages never written cost nothing.
    graph.pool.reserve(skeletonPixels - junctionPixels);  // each other pixel once
    graph.branches.reserve(branchesAtMost + endPixels);
    int j = 0;
    junction.ForEach([&](uint64_t i) {
      uint32_t near[8];
      const int n = Neighbours(static_cast<uint32_t>(i), near);
      for (int k = 0; k < n; ++k) {
        if (!junction.Get(near[k]) && !visited.Get(near[k])) {
          Walk(near[k], junctionNode[j], static_cast<uint32_t>(i));
        }
      }
      ++j;
    });
    // Then from free ends and lone pixels, and what is left are rings.
    // (A pixel may have been walked since its word was read.)
    const auto unwalked = [&](size_t k) { return ~visited.Word(k) & ~junction.Word(k); };
    skeleton.ForEachMasked(unwalked, [&](uint64_t i) {
      uint32_t near[8];
      if (!visited.Get(i) && Neighbours(static_cast<uint32_t>(i), near) <= 1) {
        Walk(static_cast<uint32_t>(i), -1, kNone);
      }
    });
    if (graph.pool.size() + junctionPixels == skeletonPixels) return;  // no rings
    skeleton.ForEachMasked(unwalked, [&](uint64_t i) {
      if (visited.Get(i)) return;
      uint32_t near[8];
      Neighbours(static_cast<uint32_t>(i), near);
      Walk(static_cast<uint32_t>(i), -1, near[0]);
    });
  }
};

// Ink components shorter than minLength, and lone junction clusters with
// no branch, are dropped and counted. A component's length is its
// skeleton's pixels and the caps beyond its ends, so that a full stop or
// the dot of an i, whose skeleton is a pixel or two, is as long as it is
// wide.
void DropSpecks(StrokeGraph& g, const uint8_t* distances, int minLength) {
  const std::vector<Node>& nodes = g.nodes;
  std::vector<int> parent(nodes.size(), -1);  // joins the nodes of a component
  for (const Branch& b : g.branches) {
    if (b.from >= 0 && b.to >= 0 && RootNode(parent, b.from) != RootNode(parent, b.to)) {
      parent[RootNode(parent, b.from)] = RootNode(parent, b.to);
    }
  }
  std::vector<int64_t> size(nodes.size(), 0);
  std::vector<uint8_t> widest(nodes.size(), 0);
  std::vector<bool> hasBranch(nodes.size(), false);
  for (size_t n = 0; n < nodes.size(); ++n) {
    const int root = RootNode(parent, static_cast<int>(n));
    size[root] += nodes[n].pixels;
    widest[root] = std::max(widest[root], nodes[n].maxDistance);
  }
  const auto widestOf = [&](const Branch& b) {
    uint8_t most = 0;
    for (uint32_t i : g.Pixels(b)) most = std::max(most, distances[i]);
    return most;
  };
  // A cap beyond each end of the skeleton: the ink's half width less the
  // skeleton's own half pixel.
  const auto length = [&](int64_t pixels, uint8_t most) {
    return static_cast<double>(pixels) + 2.0 * (static_cast<double>(most) / kStraightStep - 1);
  };
  for (const Branch& b : g.branches) {
    const int node = b.from >= 0 ? b.from : b.to;
    if (node < 0) continue;
    const int root = RootNode(parent, node);
    size[root] += static_cast<int64_t>(b.count);
    if (size[root] < minLength) widest[root] = std::max(widest[root], widestOf(b));
    hasBranch[root] = true;
  }
  std::vector<bool> dropped(nodes.size(), false);
  for (size_t n = 0; n < nodes.size(); ++n) {
    if (parent[n] < 0 && (length(size[n], widest[n]) < minLength || !hasBranch[n])) {
      dropped[n] = true;
      ++g.specks;
    }
  }
  for (Branch& b : g.branches) {
    const int node = b.from >= 0 ? b.from : b.to;
    if (node >= 0) {
      b.removed = dropped[RootNode(parent, node)];
    } else if (b.count < static_cast<uint32_t>(minLength) &&
               length(b.count, widestOf(b)) < minLength) {
      b.removed = true;
      ++g.specks;
    }
  }
}

// Pixels that become part of a node, for its centroid.
void AddToNode(Node& node, std::span<const uint32_t> pixels, int64_t width) {
  for (uint32_t i : pixels) {
    node.sumX += static_cast<double>(i % width), node.sumY += static_cast<double>(i / width);
    ++node.pixels;
  }
}

// Moves a junction to a sharp corner's vertex, on both arms' lines.
void MoveToVertex(Node& n, double x, double y) {
  const double far = std::ceil(std::hypot(x - n.X(), y - n.Y()));
  n.moved = static_cast<uint8_t>(std::clamp(far, 1.0, 255.0));
  n.sumX = x * static_cast<double>(n.pixels);
  n.sumY = y * static_cast<double>(n.pixels);
}

// The vertex of a sharp corner: a spur from the junction where the two
// arms meet at an angle runs out into the round outer join; the arms'
// centrelines meet the stroke's half width back from the ink's end along
// it. The junction moves there.
void RestoreVertex(StrokeGraph& g, const Branch& spur, int node, const uint8_t* distances,
                   int64_t width, double armRadius) {
  const uint32_t tip = spur.from < 0 ? g.Pixels(spur).front() : g.Pixels(spur).back();
  Node& n = g.nodes[node];
  double dx = static_cast<double>(tip % width) - n.X(),
         dy = static_cast<double>(tip / width) - n.Y();
  const double length = std::hypot(dx, dy);
  if (length == 0) return;
  dx /= length, dy /= length;
  // Ink beyond the tip pixel along the same line, then back by the radius.
  const double beyond = static_cast<double>(distances[tip]) / kStraightStep - 0.5;
  const double along = std::max(0.0, length + beyond - armRadius + 0.5);
  MoveToVertex(n, n.X() + along * dx, n.Y() + along * dy);
}

// Whether a branch from a junction to a free end is an arm of its own:
// whether its ink reaches out of the junction's largest disc by more than
// that disc's radius (a bump of the outline or the outer join of a corner
// reaches out by less; an arm of a stroke as wide goes on for its width).
// Measured from the branch's first pixel, the disc's edge where the
// branch leaves it (a merged node's middle may lie far away). The ink's
// reach is the tip's distance plus the ink beyond the tip: along the
// skeleton of a round cap the two add up to the same whichever pixel the
// thinning stopped at. A pixel's diagonal more, for the rounding of the
// distances.
bool LeavesJunction(const StrokeGraph& g, const Branch& b, const uint8_t* distances,
                    int64_t width) {
  const std::span<const uint32_t> pixels = g.Pixels(b);
  const uint32_t tip = b.from < 0 ? pixels.front() : pixels.back(),
                 base = b.from < 0 ? pixels.back() : pixels.front();
  const double reach =
      std::hypot(static_cast<double>(tip % width) - static_cast<double>(base % width),
                 static_cast<double>(tip / width) - static_cast<double>(base / width)) +
      static_cast<double>(distances[tip]) / kStraightStep;
  return reach > 2 * static_cast<double>(distances[base]) / kStraightStep + 1.5;
}

// The line through an arm's skeleton pixels from `near` to `far` pixels
// out of its node; false where the arm is shorter or strays from the line
// by more than a pixel (it curves).
bool ArmLine(const StrokeGraph& g, int end, size_t near, size_t far, int64_t width,
             FittedLine& line) {
  if (g.branches[end / 2].count <= far) return false;
  line = FitLine(far - near + 1, [&](size_t k) {
    const uint32_t i = PixelFrom(g, end, near + k);
    return PointF{static_cast<double>(i % width), static_cast<double>(i / width)};
  });
  return line.spread <= 1;
}

// Where two lines cross, into (vx, vy); false where they run within 20
// degrees of each other.
bool LinesCross(const FittedLine& p, const FittedLine& q, double& vx, double& vy) {
  const PointF u = p.direction, v = q.direction;
  const double cross = u.x * v.y - u.y * v.x;
  if (std::fabs(cross) < 0.34) return false;  // sin 20 degrees
  const double t = ((q.centre.x - p.centre.x) * v.y - (q.centre.y - p.centre.y) * v.x) / cross;
  vx = p.centre.x + t * u.x, vy = p.centre.y + t * u.y;
  return true;
}

// Where two straight arms' lines cross, fitted from one of the node's
// widths out (nearer, each bends towards the other) to two widths and ten
// pixels more, and on to four widths and twenty pixels where the arm
// stays straight: the vertex of a sharp corner, more surely than the
// spur, whose tip the thinning leaves anywhere in the round outer join of
// a thick stroke. The skeleton's steps turn a line fitted over a few
// pixels by degrees, and at an acute corner its crossing with the other
// moves pixels. An arm that ends sooner (a thick corner's short leg up to
// its free end) is fitted as far as it goes, over ten pixels at least:
// without its vertex, a thick acute corner was put at the spur's tip,
// several pixels inside it. False where an arm curves or is short, the
// lines run near parallel, or they cross off the ink.
bool ArmsCrossing(const StrokeGraph& g, int node, int a, int b, const uint8_t* distances,
                  int64_t width, int64_t height, double& vx, double& vy) {
  const double radius = std::max(1.0, g.nodes[node].Radius());
  const auto near = static_cast<size_t>(std::lround(2 * radius)),
             least = static_cast<size_t>(std::lround(4 * radius)) + 10,
             far = static_cast<size_t>(std::lround(8 * radius)) + 20;
  // Straight out to `least` (a curve is straight over a few pixels), or
  // as far as it goes; then as much farther towards `far` as it stays
  // straight: found by halving, a straight stretch staying straight when
  // shortened. O(far log far).
  const auto fit = [&](int end, size_t from, size_t to, FittedLine& line) {
    const size_t last = g.branches[end / 2].count - 1;
    size_t straight = std::min(least, last), bent = std::min(to, last) + 1;
    if (straight < from + 10 || !ArmLine(g, end, from, straight, width, line)) return false;
    while (bent - straight > 1) {
      const size_t middle = straight + (bent - straight) / 2;
      FittedLine longer;
      if (ArmLine(g, end, from, middle, width, longer)) {
        straight = middle, line = longer;
      } else {
        bent = middle;
      }
    }
    return true;
  };
  FittedLine p, q;
  if (!fit(a, near, far, p) || !fit(b, near, far, q)) return false;
  return LinesCross(p, q, vx, vy) && InkRaster{width, height, distances}.Ink(vx, vy);
}

}  // namespace

bool TurnIsCorner(const StrokeGraph& g, int node, std::span<const int> ends, double reach,
                  const uint8_t* distances, int64_t width, int64_t height) {
  const auto near = static_cast<size_t>(std::ceil(reach));
  const size_t far =
      near + std::max<size_t>(10, static_cast<size_t>(std::lround(2 * g.nodes[node].Radius())));
  // Each arm's line right past the reach, or one span farther where the
  // turn's own curve still runs there.
  const auto line = [&](int end, FittedLine& l) {
    return ArmLine(g, end, near, far, width, l) || ArmLine(g, end, far, 2 * far - near, width, l);
  };
  FittedLine p, q;
  if (!line(ends[0], p) || !line(ends[1], q)) return true;
  double vx, vy;
  if (!LinesCross(p, q, vx, vy)) return false;  // legs side by side
  // A pixel off is allowed: at a sharp corner the lines, fitted to the
  // skeleton's steps, may cross a little beyond its vertex; where their
  // error may move the crossing farther, as far back in.
  const PointF a = Unit(p.centre.x - vx, p.centre.y - vy),
               b = Unit(q.centre.x - vx, q.centre.y - vy);
  const PointF in = Unit(a.x + b.x, a.y + b.y);
  const double back = std::max(0.0, CrossingError(a, b) - 1);
  return InkNear(InkRaster{width, height, distances}, vx + back * in.x, vy + back * in.y);
}

namespace {

// An arm's half width from three of its node's radii out, past the
// node's own ink.
double ArmHalfWidth(const StrokeGraph& g, int node, int end, const uint8_t* distances) {
  return static_cast<double>(
             distances[PixelFrom(g, end, static_cast<size_t>(3 * g.nodes[node].Radius()))]) /
         kStraightStep;
}

// The two other branches' ends at a junction of three, seen from one of
// its branches; false at other junctions.
bool OtherArms(std::span<const int> ends, int branch, int arms[2]) {
  if (ends.size() != 3) return false;
  int n = 0;
  for (int end : ends) {
    if (end / 2 != branch && n < 2) arms[n++] = end;
  }
  return n == 2;
}

// Whether a branch from a junction of three to a free end is the tip of a
// sharp corner rather than an arm: where two arms meet at an acute angle
// their inks overlap from well before the vertex, and the skeleton runs
// along the overlap's middle to the vertex (under 30 degrees, farther out
// of the junction's disc than a short arm). It ends where the other two
// arms' centrelines cross, at (vx, vy), within their half width (the
// thinning stops anywhere in the round cap there); an arm of a stroke ends
// far from that point.
bool IsCornersTip(const StrokeGraph& g, int spur, int node, const int arms[2], double vx, double vy,
                  const uint8_t* distances, int64_t width) {
  const Branch& b = g.branches[spur];
  const std::span<const uint32_t> pixels = g.Pixels(b);
  const uint32_t tip = b.from < 0 ? pixels.front() : pixels.back();
  const double half = std::max(ArmHalfWidth(g, node, arms[0], distances),
                               ArmHalfWidth(g, node, arms[1], distances));
  const double fromVertex =
      std::hypot(static_cast<double>(tip % width) - vx, static_cast<double>(tip / width) - vy);
  if (fromVertex > half + 1) return false;
  // Halfway from the junction to the vertex the two arms' inks overlap:
  // wider than either arm (1.3 times, the overlap narrowing steadily from
  // the junction's disc to the round cap), where an arm of its own is as
  // wide as the others. Halfway by position: the skeleton of the cap may
  // run on to the ink's edge.
  const double mx = (g.nodes[node].X() + vx) / 2, my = (g.nodes[node].Y() + vy) / 2;
  uint32_t middle = tip;
  double nearest = INFINITY;
  for (uint32_t i : pixels) {
    const double d =
        std::hypot(static_cast<double>(i % width) - mx, static_cast<double>(i / width) - my);
    if (d < nearest) nearest = d, middle = i;
  }
  return static_cast<double>(distances[middle]) / kStraightStep >= 1.2 * half;
}

// Whether a branch to a free end that stays within its junction's disc is
// still an arm, by how far its ink reaches past the stroke the other two
// arms make. Where they continue each other (a T's bar), past their line;
// where their lines cross at an angle, past that point: a corner's round
// outer join ends the arms' half width beyond it, a bump of a bar's
// outline as far beyond the bar's line, while the ink of an arm (the foot
// of a t, the stem of an r above its arch) goes on past it by its own
// length. As for a branch leaving its junction's disc: more than twice the
// half width and a pixel and a half. `crossing` finds the crossing into
// (vx, vy), where no line continues.
template <class Crossing>
bool ReachesPastStroke(const StrokeGraph& g, const Branch& spur, int node, const int arms[2],
                       const uint8_t* distances, int64_t width, Crossing crossing, double& vx,
                       double& vy) {
  const std::span<const uint32_t> pixels = g.Pixels(spur);
  const uint32_t tip = spur.from < 0 ? pixels.front() : pixels.back();
  const double tx = static_cast<double>(tip % width), ty = static_cast<double>(tip / width);
  const double half = std::max(ArmHalfWidth(g, node, arms[0], distances),
                               ArmHalfWidth(g, node, arms[1], distances));
  // The arms' lines from one to two of the junction's widths out (six
  // pixels at least: the arms of small letters are short): a curve through
  // the junction (a ring's arc) has none, or two at an angle whose
  // crossing it has no line for, and the branch is left to the rule of the
  // junction's disc.
  const double radius = std::max(1.0, g.nodes[node].Radius());
  const auto near = static_cast<size_t>(std::lround(2 * radius));
  const size_t far = near + std::max<size_t>(6, near);
  FittedLine p, q;
  if (!ArmLine(g, arms[0], near, far, width, p) || !ArmLine(g, arms[1], near, far, width, q)) {
    return false;
  }
  const auto from = [&](const FittedLine& l) {
    return std::fabs((tx - l.centre.x) * l.direction.y - (ty - l.centre.y) * l.direction.x);
  };
  double past;
  if (std::fabs(p.direction.x * q.direction.y - p.direction.y * q.direction.x) < 0.34) {
    past = (from(p) + from(q)) / 2;  // within 20 degrees: one line, a T's bar
  } else if (crossing()) {
    // Along the branch, from the junction out: a crossing beyond the tip
    // (the lines of an acute corner's arms meet in its round join) is no
    // ink past it.
    const double nx = tx - g.nodes[node].X(), ny = ty - g.nodes[node].Y();
    const double length = std::hypot(nx, ny);
    if (length == 0) return false;
    past = ((tx - vx) * nx + (ty - vy) * ny) / length;
  } else {
    return false;
  }
  return past + static_cast<double>(distances[tip]) / kStraightStep > 2 * half + 1.5;
}

// Side branches from a junction to a free end that are no arms of their
// own are noise of the outline, not strokes; at a sharp corner
// the one such branch marks the vertex. Runs after the merging of nodes, so
// every branch end names a root node.
void PruneSpurs(StrokeGraph& g, const uint8_t* distances, int64_t width, int64_t height) {
  constexpr double kStraight = 0.7;  // cos 45 degrees: arms that continue each other
  for (int round = 0; round < 2; ++round) {
    const NodeEnds endsAt = EndsAtNodes(g);
    for (size_t b = 0; b < g.branches.size(); ++b) {
      Branch& spur = g.branches[b];
      if (spur.removed || (spur.from >= 0) == (spur.to >= 0)) continue;
      const int node = spur.from >= 0 ? spur.from : spur.to;
      if (endsAt.At(node).size() < 3) continue;
      int arms[2];
      const bool three = OtherArms(endsAt.At(node), static_cast<int>(b), arms);
      // Where the other two arms' lines cross: found once, for the tip
      // test and for the vertex.
      double vx = 0, vy = 0;
      const auto crossing = [&] {
        return ArmsCrossing(g, node, arms[0], arms[1], distances, width, height, vx, vy);
      };
      int crossed = -1;  // not yet looked for
      if (LeavesJunction(g, spur, distances, width)) {
        if (!three || !(crossed = crossing()) ||
            !IsCornersTip(g, static_cast<int>(b), node, arms, vx, vy, distances, width)) {
          continue;
        }
      } else if (three && ReachesPastStroke(
                              g, spur, node, arms, distances, width,
                              [&] { return crossed = crossing(); }, vx, vy)) {
        continue;
      }
      spur.removed = true;
      ++g.spurs;
      if (!three || round > 0) continue;
      double ax, ay, bx, by;
      BranchDirection(g, arms[0], width, ax, ay);
      BranchDirection(g, arms[1], width, bx, by);
      if (-(ax * bx + ay * by) >= kStraight) continue;  // a T's bar: no corner
      if (crossed < 0) crossed = crossing();
      if (crossed) {
        MoveToVertex(g.nodes[node], vx, vy);
        continue;
      }
      RestoreVertex(g, spur, node, distances, width,
                    std::min(ArmHalfWidth(g, node, arms[0], distances),
                             ArmHalfWidth(g, node, arms[1], distances)));
    }
  }
  // A node left with one branch is that branch's free end: the skeleton of
  // a round cap may fork into two short spurs along its rim, and the fork,
  // pruned of both, lies on the rim rather than at the cap's centre.
  const NodeEnds endsAt = EndsAtNodes(g);
  for (size_t n = 0; n < g.nodes.size(); ++n) {
    const std::span<const int> ends = endsAt.At(static_cast<int>(n));
    if (ends.size() != 1) continue;
    Branch& b = g.branches[ends[0] / 2];
    (ends[0] % 2 ? b.to : b.from) = -1;
  }
}

// A branch running on from a fork: its own direction, the pixel it is
// taken to (far enough out that the fork's ink no longer bends it), and
// the stroke's half width there: the mean distance of its pixels to the
// paper's nearest pixel centre, which lies beyond the edge, so that the
// width is not taken short (a 3 px line's pixels lie 1.3 to 2.3 px in).
struct Onward {
  PointF d, far;
  double half;
};

Onward OnwardFrom(const StrokeGraph& g, int end, const uint8_t* distances, int64_t w) {
  const Branch& b = g.branches[end / 2];
  const double r = g.nodes[end % 2 ? b.to : b.from].Radius();
  const Stretch s = PastNode(g, end, r);
  double sum = 0;
  for (size_t k = s.near; k <= s.far; ++k) sum += distances[PixelFrom(g, end, k)];
  const uint32_t far = PixelFrom(g, end, s.far);
  return {DirectionOver(g, end, s, w),
          {static_cast<double>(far % w), static_cast<double>(far / w)},
          sum / static_cast<double>(s.far - s.near + 1) / kStraightStep};
}

// Where two strokes cross between the forks at a bridge's two ends, the
// farthest apart the forks can lie: the long diagonal of the parallelogram
// their inks overlap in, of half widths a and b at angle t,
// 2 sqrt(a^2 + b^2 + 2 a b cos t) / sin t (w / sin(t / 2) for one width).
// An X thins to two such forks: of thick strokes near the middle of that
// diagonal, of thin ones near its ends, where the paper between the arms
// begins. -1 where no two strokes cross there:
// - each must have an arm at one fork that runs on within 30 degrees
//   from an arm at the other (at two T's side by side, a k's arm and leg
//   on its stem, the stem's arms do, and the arm and leg bend by 45);
// - the lines between those arms' far pixels must cross (two lines that
//   touch and part again do not), at 15 degrees or more (nearer, two
//   lines side by side seem to cross as their stairs touch);
// - the bridge must be the only branch between the forks (two lines side
//   by side again).
// O(arms^2 + their pixels): forks have up to four arms.
double CrossingSpan(const StrokeGraph& g, const NodeEnds& endsAt, int bridge,
                    const uint8_t* distances, int64_t w) {
  constexpr double kContinues = 0.87, kFaintest = 0.26;  // cos 30, sin 15 degrees
  const Branch& b = g.branches[bridge];
  const auto onward = [&](int node) {
    std::vector<Onward> arms, none;
    for (int end : endsAt.At(node)) {
      const Branch& e = g.branches[end / 2];
      if (end / 2 == bridge || e.from == e.to) continue;
      if ((e.from == b.from && e.to == b.to) || (e.from == b.to && e.to == b.from)) return none;
      arms.push_back(OnwardFrom(g, end, distances, w));
    }
    return arms;
  };
  const std::vector<Onward> atFrom = onward(b.from), atTo = onward(b.to);
  // The straightest pairs first.
  std::vector<std::pair<double, std::pair<size_t, size_t>>> pairs;
  for (size_t i = 0; i < atFrom.size(); ++i) {
    for (size_t j = 0; j < atTo.size(); ++j) {
      const double straight = -(atFrom[i].d.x * atTo[j].d.x + atFrom[i].d.y * atTo[j].d.y);
      if (straight >= kContinues) pairs.push_back({-straight, {i, j}});
    }
  }
  std::sort(pairs.begin(), pairs.end());
  std::vector<bool> fromTaken(atFrom.size()), toTaken(atTo.size());
  std::vector<std::pair<const Onward*, const Onward*>> strokes;
  for (const auto& [cost, pair] : pairs) {
    if (fromTaken[pair.first] || toTaken[pair.second]) continue;
    fromTaken[pair.first] = toTaken[pair.second] = true;
    strokes.push_back({&atFrom[pair.first], &atTo[pair.second]});
  }
  if (strokes.size() < 2) return -1;
  const auto [p0, q0] = strokes[0];
  const auto [p1, q1] = strokes[1];
  // Which side of the line from p to q a point lies on, and how far.
  const auto side = [](const Onward* p, const Onward* q, PointF at) {
    return (q->far.x - p->far.x) * (at.y - p->far.y) - (q->far.y - p->far.y) * (at.x - p->far.x);
  };
  if (side(p0, q0, p1->far) * side(p0, q0, q1->far) >= 0 ||
      side(p1, q1, p0->far) * side(p1, q1, q0->far) >= 0) {
    return -1;
  }
  const PointF u{q0->far.x - p0->far.x, q0->far.y - p0->far.y};
  const PointF v{q1->far.x - p1->far.x, q1->far.y - p1->far.y};
  const double lengths = std::hypot(u.x, u.y) * std::hypot(v.x, v.y);
  const double sine = std::fabs(u.x * v.y - u.y * v.x) / lengths;
  if (sine < kFaintest) return -1;
  const double cosine = std::sqrt(1 - sine * sine);
  const double a = std::max(p0->half, q0->half), c = std::max(p1->half, q1->half);
  return 2 * std::sqrt(a * a + c * c + 2 * a * c * cosine) / sine;
}

// A box round points.
struct Box {
  float x0, y0, x1, y1;

  Box With(const Box& o) const {
    return {std::min(x0, o.x0), std::min(y0, o.y0), std::max(x1, o.x1), std::max(y1, o.y1)};
  }
  double Diagonal() const { return std::hypot(x1 - x0, y1 - y0); }
};

// Two junctions joined by a branch within their reach are one crossing:
// the branch is all skeleton bent towards the other branches (an X of
// thick strokes thins to two forks and a bridge, a long one at an acute
// angle). The reach is the larger junction's disc over the sine of the
// angle its strokes cross at, as both junctions see it: the forks of one X
// see the same angle, while a junction along one of its strokes sees it
// pass straight through (taking the sharper of the two, a crossing would
// reach along a stroke to the next junction, and on from there). Where two
// strokes cross between the forks, as far as their crossing spans: the
// forks of an acute X of thin lines lie near the ends of the inks'
// overlap, beyond that reach. That is judged once each fork's knot of
// junctions (tied by branches a pixel or two long) is one node, so that
// the forks' own arms are seen; it takes a second pass.
void MergeCloseNodes(StrokeGraph& g, const uint8_t* distances, int64_t w) {
  // By node, the sine of its sharpest angle (floats: a drawing of noise
  // has millions of nodes); a merged node's reaches as far as the farther
  // of the two did.
  std::vector<float> sine(g.nodes.size());
  const auto disc = [&](int n) { return std::max(2.0, 2 * g.nodes[n].Radius()); };
  const auto reach = [&](int a, int c) {
    return std::max(disc(a), disc(c)) / std::max(sine[a], sine[c]);
  };
  // The branches two strokes cross along, in order, and the spans of
  // their crossings (few: a drawing of noise has millions of branches).
  std::vector<std::pair<size_t, double>> crossings;
  {
    const NodeEnds endsAt = EndsAtNodes(g);
    for (size_t n = 0; n < g.nodes.size(); ++n) {
      sine[n] = static_cast<float>(
          SharpestSine(g, static_cast<int>(n), endsAt.At(static_cast<int>(n)), distances, w));
    }
  }
  // Once the knots of each fork are merged: forks only (three ends, four
  // with a spur not yet pruned, loops back to the node left aside). On
  // noise a cluster of junctions has thousands of ends and as many
  // bridges, and pairing them all is quadratic in them.
  const auto findCrossings = [&] {
    const NodeEnds endsAt = EndsAtNodes(g);
    const auto isFork = [&](int node) {
      size_t arms = 0;
      for (int end : endsAt.At(node)) {
        const Branch& e = g.branches[end / 2];
        arms += e.from != e.to;
      }
      return arms <= 4;
    };
    for (size_t i = 0; i < g.branches.size(); ++i) {
      const Branch& b = g.branches[i];
      if (b.removed || b.from < 0 || b.to < 0 || b.from == b.to || !isFork(b.from) ||
          !isFork(b.to)) {
        continue;
      }
      const double span = CrossingSpan(g, endsAt, static_cast<int>(i), distances, w);
      if (span >= 0) crossings.push_back({i, span});
    }
  };
  // Made once the ends are gone: on noise this is near the drawing's peak.
  std::vector<int> parent(g.nodes.size(), -1);
  // The box round the centres of the junctions merged into a node, kept
  // for merged ones only (on noise the nodes are millions): a root's
  // parent, -1 until it has merged, is -2 - its box's index from then on.
  std::vector<Box> boxes;
  const auto boxOf = [&](int n) {
    if (parent[n] <= -2) return boxes[static_cast<size_t>(-2 - parent[n])];
    const auto x = static_cast<float>(g.nodes[n].X()), y = static_cast<float>(g.nodes[n].Y());
    return Box{x, y, x, y};
  };
  const auto mergePass = [&] {
    auto crossing = crossings.begin();
    for (size_t i = 0; i < g.branches.size(); ++i) {
      Branch& b = g.branches[i];
      if (b.removed || b.from < 0 || b.to < 0) continue;
      const int a = RootNode(parent, b.from), c = RootNode(parent, b.to);
      if (a == c) continue;
      while (crossing != crossings.end() && crossing->first < i) ++crossing;
      const bool crosses = crossing != crossings.end() && crossing->first == i;
      const double count = static_cast<double>(g.Pixels(b).size()), width = reach(a, c);
      // Merged nodes stay one crossing's size, the junctions they hold
      // within its reach of each other (and a pixel beyond at each end):
      // chains of them along strokes that touch again and again (the double
      // strokes of a script) or across a dense drawing would grow into one
      // node of a hundred branches.
      // A junction within the box already (a knot of the skeleton inside a
      // crossing of several strokes, tied to it by pixel-long branches) adds
      // nothing to its size.
      const Box joined = boxOf(a).With(boxOf(c));
      const bool grows =
          joined.Diagonal() > std::max(boxOf(a).Diagonal(), boxOf(c).Diagonal()) + 1e-6;
      bool close = count <= width && !(grows && joined.Diagonal() > width + 2);
      // Two forks a stroke crosses between lie within the crossing's span,
      // and a pixel more: the nodes are clusters of whole pixels, and the
      // bridge's pixel count and their middles (each with its knot) lie up
      // to a pixel beyond it. The strokes bend towards each other out to
      // the forks, beyond the reach the crossing's angle gives.
      double spread = 0;
      if (crosses) {
        const double apart =
            std::hypot(g.nodes[a].X() - g.nodes[c].X(), g.nodes[a].Y() - g.nodes[c].Y());
        close = close || (count <= crossing->second + 1 && apart <= crossing->second + 3);
        spread = std::min(255.0, std::ceil(apart / 2));
      }
      const double pixels = static_cast<double>(g.nodes[a].pixels) + g.nodes[c].pixels + count;
      if (!close || pixels > 6 * std::max({width, crosses ? crossing->second : 0.0, 2.0})) continue;
      if (parent[a] == -1) {
        parent[a] = -2 - static_cast<int>(boxes.size());
        boxes.push_back(joined);
      }
      boxes[static_cast<size_t>(-2 - parent[a])] = joined;
      b.removed = true;
      Node& into = g.nodes[a];
      const Node& from = g.nodes[c];
      into.sumX += from.sumX, into.sumY += from.sumY, into.pixels += from.pixels;
      const double farther = std::max(disc(a) / sine[a], disc(c) / sine[c]);
      into.maxDistance = std::max(into.maxDistance, from.maxDistance);
      into.spread = std::max({into.spread, from.spread, static_cast<uint8_t>(spread)});
      AddToNode(into, g.Pixels(b), w);
      sine[a] = static_cast<float>(disc(a) / farther);
      parent[c] = a;
    }
    for (Branch& b : g.branches) {
      if (b.from >= 0) b.from = RootNode(parent, b.from);
      if (b.to >= 0) b.to = RootNode(parent, b.to);
    }
  };
  mergePass();
  findCrossings();
  mergePass();
}

// Whether any paper pixel lies inside the closed pixel path (even-odd rule
// on the pixel centres), looked for within its bounding box.
bool EnclosesPaper(const std::vector<uint32_t>& path, const uint8_t* distances, int64_t width) {
  int64_t x0 = INT64_MAX, y0 = INT64_MAX, x1 = -1, y1 = -1;
  for (uint32_t i : path) {
    x0 = std::min<int64_t>(x0, i % width), x1 = std::max<int64_t>(x1, i % width);
    y0 = std::min<int64_t>(y0, i / width), y1 = std::max<int64_t>(y1, i / width);
  }
  for (int64_t y = y0 + 1; y < y1; ++y) {
    for (int64_t x = x0 + 1; x < x1; ++x) {
      if (distances[y * width + x] != 0) continue;
      bool inside = false;
      for (size_t a = 0, b = path.size() - 1; a < path.size(); b = a++) {
        const double ax = static_cast<double>(path[a] % width),
                     ay = static_cast<double>(path[a] / width);
        const double bx = static_cast<double>(path[b] % width),
                     by = static_cast<double>(path[b] / width);
        if ((ay > static_cast<double>(y)) != (by > static_cast<double>(y)) &&
            static_cast<double>(x) < ax + (bx - ax) * (static_cast<double>(y) - ay) / (by - ay)) {
          inside = !inside;
        }
      }
      if (inside) return true;
    }
  }
  return false;
}

// A short branch from a node back to itself that goes round no paper is
// the junction's own knot, not a hole: it joins the node.
void AbsorbKnots(StrokeGraph& g, const uint8_t* distances, int64_t width) {
  for (Branch& b : g.branches) {
    if (b.removed || b.from < 0 || b.from != b.to) continue;
    Node& node = g.nodes[b.from];
    if (static_cast<double>(g.Pixels(b).size()) > 8 * std::max(1.0, node.Radius())) continue;
    const std::span<const uint32_t> pixels = g.Pixels(b);
    std::vector<uint32_t> path(pixels.begin(), pixels.end());
    path.push_back(static_cast<uint32_t>(std::lround(node.Y()) * width + std::lround(node.X())));
    if (EnclosesPaper(path, distances, width)) continue;
    b.removed = true;
    AddToNode(node, g.Pixels(b), width);
  }
}

}  // namespace

// Defined in stroke_joins.cpp.
void JoinAndRun(StrokeGraph& graph, const uint8_t* distances, int64_t width, int64_t height);

StrokeGraph BuildStrokeGraph(GrayImage& skeleton, const uint8_t* distances,
                             const GraphOptions& options) {
  const int64_t width = skeleton.width, height = skeleton.height;
  StrokeGraph g;
  {
    // What the walks need goes before the graph is worked on: on a picture
    // of noise the junctions are as many as the graph's pixels.
    Builder builder(distances, width, skeleton.height);
    builder.FindJunctions(skeleton);
    skeleton.pixels.reset();
    builder.ClusterJunctions();
    builder.WalkBranches();
    g = std::move(builder.graph);
  }
  // The walks laid the branches' pixels out one after another.
  g.firsts.resize(g.branches.size());
  for (size_t b = 0, at = 0; b < g.branches.size(); at += g.branches[b++].count) {
    g.firsts[b] = static_cast<uint32_t>(at);
  }
  DropSpecks(g, distances, options.minLength);
  MergeCloseNodes(g, distances, width);
  AbsorbKnots(g, distances, width);
  PruneSpurs(g, distances, width, height);
  // The removed branches go (on noise, a third of them) before the joins
  // make their arrays by branch.
  size_t kept = 0;
  for (size_t b = 0; b < g.branches.size(); ++b) {
    if (g.branches[b].removed) continue;
    g.branches[kept] = g.branches[b], g.firsts[kept] = g.firsts[b];
    ++kept;
  }
  g.branches.resize(kept), g.firsts.resize(kept);
  g.branches.shrink_to_fit(), g.firsts.shrink_to_fit();
  JoinAndRun(g, distances, width, height);
  return g;
}
