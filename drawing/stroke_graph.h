// The skeleton split into branches at its ends and junctions, a cluster of
// junction pixels being one node; specks dropped, spurs pruned, junctions
// closer than the stroke width merged, and at every node the branches that
// continue each other joined, so that an X is two strokes, a T two and a
// ring one closed stroke.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "decode/gray_image.h"

// One piece of skeleton between two nodes or free ends: its pixels (as
// raster indices, in order, kept in the graph's pool so that a drawing of
// a million little branches makes no million little allocations), and the
// node at each end (-1 for a free end).
struct Branch {
  int from = -1;
  int to = -1;
  // Bit fields: a drawing of noise has a branch for every few pixels.
  uint32_t count : 30 = 0;  // its pixels: StrokeGraph::pool from the branch's first on
  uint32_t loop : 1 = 0;    // a ring without nodes: its last pixel touches its first
  uint32_t removed : 1 = 0;
};

struct Node {
  double sumX = 0, sumY = 0;  // of its pixels: the centroid is sum / pixels
  uint32_t pixels = 0;
  uint8_t maxDistance = 0;  // the largest chamfer distance among its pixels
  uint8_t spread = 0;       // of an X's two forks merged: half their distance, rounded up
  uint8_t moved = 0;        // off its pixels to a sharp corner's vertex: how far, rounded up

  double X() const { return sumX / pixels; }
  double Y() const { return sumY / pixels; }
  double Radius() const;  // the stroke's half width there, in pixels
};

// One branch of a stroke, walked forwards or backwards.
struct RunStep {
  uint32_t branch : 31;
  uint32_t reversed : 1;
};

// A stroke as it runs through the graph: branches in order, passing
// through the node between two of them; its steps are
// StrokeGraph::steps[first, first + count).
struct StrokeRun {
  uint32_t first = 0;
  uint32_t count = 0;
  bool closed = false;
};

// The branch ends at each node, in one array: the ends at node n are
// ends[start[n], start[n + 1]), 2 b for the end at b.from, 2 b + 1 for the
// end at b.to.
struct NodeEnds {
  std::vector<uint32_t> start;
  std::vector<int> ends;

  std::span<const int> At(int node) const {
    return {ends.data() + start[node], start[node + 1] - start[node]};
  }
};

struct StrokeGraph {
  std::vector<uint32_t> pool;  // every branch's pixels, one after another
  std::vector<Branch> branches;
  std::vector<uint32_t> firsts;  // where each branch's pixels start in the pool
  std::vector<Node> nodes;
  std::vector<StrokeRun> runs;
  std::vector<RunStep> steps;  // every run's steps, one after another
  // By node, once the strokes are joined: at a junction of three or more
  // branches, how far from it the skeleton bends towards the other
  // branches (a stroke's width, farther where two branches meet at an
  // acute angle); at a corner (two branches at an angle) the same, negated,
  // since no line passes through it; 0 elsewhere (a stroke runs on through
  // what pruning left of a junction, on a line or round a turn). Apart
  // from the nodes, which a drawing of noise has millions of while the
  // graph is built, its peak.
  std::vector<float> bends;
  int64_t specks = 0;
  int64_t spurs = 0;

  // b: one of this graph's branches.
  std::span<const uint32_t> Pixels(const Branch& b) const {
    return {pool.data() + firsts[static_cast<size_t>(&b - branches.data())], b.count};
  }
  std::span<const RunStep> Steps(const StrokeRun& r) const {
    return {steps.data() + r.first, r.count};
  }
  // How far from a junction the skeleton bends; 0 at other nodes.
  double Bend(int node) const { return std::max(0.0f, bends[static_cast<size_t>(node)]); }
  // How far from a junction or a corner it bends; 0 at other nodes.
  double BendOrTurn(int node) const { return std::fabs(bends[static_cast<size_t>(node)]); }
};

struct GraphOptions {
  int minLength = 3;  // ink components shorter than this, caps included, are specks
};

// skeleton: 1 on skeleton pixels, 0 elsewhere; used up (its pixels are
// freed once walked). distances: the chamfer map of the ink.
StrokeGraph BuildStrokeGraph(GrayImage& skeleton, const uint8_t* distances,
                             const GraphOptions& options);

// The ends of the branches left at each node (the nodes being merged
// ones' roots).
NodeEnds EndsAtNodes(const StrokeGraph& graph);

// The unit direction from a branch end's node into the branch, over about
// the stroke's width (end: 2 b for the end at b.from, 2 b + 1 at b.to).
void BranchDirection(const StrokeGraph& graph, int end, int64_t width, double& dx, double& dy);

// How nearly each pair of a junction's branches continue each other, n x
// n for its n ends (1: straight on; -1 on the diagonal): the cosine of
// the angle between their directions from the node's middle. At a thin
// node whose branches leave it three or more pixels apart (1 px lines
// touching side by side, where the node's middle lies off both lines and
// a line crossing over to the other seems to run straight through it),
// the lesser cosine of each branch's own direction with the chord
// between where the two leave. At thicker nodes the branches leave round
// the rim, and a chord across the junction says nothing of the strokes.
// Where the chord is shorter, at nodes of lines up to about 5 px, the
// cosine between the branches' own directions if that is greater: near a
// T of such lines the bar's skeleton bends towards the stem, and from the
// node's middle its halves may meet at 45 degrees; but at a node of four
// ends no pair (-1) where either leaves farther beside the other's line
// than the node's diameter: two strokes side by side tied by a short bar,
// their junctions one node, whose upper and lower arms seem to run on
// across it.
std::vector<double> PairStraightness(const StrokeGraph& graph, int node, std::span<const int> ends,
                                     int64_t width);

// How far a junction reaches along its branches. kStrokes: where their
// skeletons bend towards each other: two branches of half widths r and s
// meeting at angle a bend once each one's ink comes within its own half
// width of the other's centreline, within (r + s) / sin a of the junction
// (at a right or wider angle, r + s). kCorner: as kStrokes, with each
// half width half a pixel more (the skeleton's pixels lie up to half a
// pixel off the middle, and the narrowest is from one nearer an edge): at
// a corner the arms are straight up to the vertex, and reaching too far
// costs nothing, where a junction's bridge is a curve fitted across its
// reach. At a node moved to a sharp corner's vertex, at least two pixels
// past where it was. ends: the branch ends at the node.
enum class ReachOf { kStrokes, kCorner };
double JunctionReach(const StrokeGraph& graph, int node, std::span<const int> ends,
                     const uint8_t* distances, int64_t width, ReachOf of);

// Whether two branches that turn sharply at a node (what pruning left of a
// junction) make a corner rather than a tight turn: past `reach`, where
// their inks part, a corner's arms run straight towards a vertex on its
// ink. A U turn's legs run side by side (within 20 degrees), or their
// lines meet past its round end, off the ink. True where an arm is too
// short or curves there to tell.
bool TurnIsCorner(const StrokeGraph& graph, int node, std::span<const int> ends, double reach,
                  const uint8_t* distances, int64_t width, int64_t height);
