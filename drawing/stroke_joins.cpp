// At every node the branches that continue each other in direction are
// joined, the straightest pairs first; then the strokes are read off as
// runs of joined branches, open from a free end or closed round a cycle.
#include <algorithm>
#include <cmath>

#include "drawing/stroke_graph.h"

namespace {

// A branch end: 2 b for the end at b.from, 2 b + 1 for the end at b.to.
struct EndDirection {
  int end;
  double dx, dy;  // unit vector from the node into the branch
};

constexpr double kMaxTurnDegrees = 45;

EndDirection DirectionAt(const StrokeGraph& g, int end, int64_t width) {
  EndDirection d{end, 0, 0};
  BranchDirection(g, end, width, d.dx, d.dy);
  return d;
}

void JoinAtNodes(StrokeGraph& g, const uint8_t* distances, int64_t width, int64_t height,
                 std::vector<int>& partner) {
  const NodeEnds endsAt = EndsAtNodes(g);
  g.bends.assign(g.nodes.size(), 0);
  const double limit = std::cos(kMaxTurnDegrees * M_PI / 180);
  for (size_t node = 0; node < g.nodes.size(); ++node) {
    const std::span<const int> ends = endsAt.At(static_cast<int>(node));
    if (ends.size() < 2) continue;
    std::vector<EndDirection> d;
    for (int end : ends) d.push_back(DirectionAt(g, end, width));
    if (ends.size() == 2) {  // what pruning left of a junction: one line through it
      partner[ends[0]] = ends[1];
      partner[ends[1]] = ends[0];
      // At a corner the arms' inks overlap as far out as at a junction of
      // the same angle, and the skeleton bends as far; round a tight turn
      // it follows the turn.
      if (-(d[0].dx * d[1].dx + d[0].dy * d[1].dy) < limit) {
        const double reach =
            JunctionReach(g, static_cast<int>(node), ends, distances, width, ReachOf::kCorner);
        if (TurnIsCorner(g, static_cast<int>(node), ends, reach, distances, width, height)) {
          g.bends[node] = -static_cast<float>(reach);
        }
      }
      continue;
    }
    g.bends[node] = static_cast<float>(
        JunctionReach(g, static_cast<int>(node), ends, distances, width, ReachOf::kStrokes));
    // Straightness of a pair: how nearly one leaves opposite to the other.
    std::vector<std::pair<double, std::pair<int, int>>> pairs;
    for (size_t i = 0; i < d.size(); ++i) {
      for (size_t j = i + 1; j < d.size(); ++j) {
        const double straight = -(d[i].dx * d[j].dx + d[i].dy * d[j].dy);
        if (straight >= limit) pairs.push_back({-straight, {d[i].end, d[j].end}});
      }
    }
    std::sort(pairs.begin(), pairs.end());
    for (const auto& [cost, pair] : pairs) {
      if (partner[pair.first] < 0 && partner[pair.second] < 0) {
        partner[pair.first] = pair.second;
        partner[pair.second] = pair.first;
      }
    }
  }
}

}  // namespace

void JoinAndRun(StrokeGraph& g, const uint8_t* distances, int64_t width, int64_t height) {
  std::vector<int> partner(2 * g.branches.size(), -1);
  JoinAtNodes(g, distances, width, height, partner);
  std::vector<bool> used(g.branches.size(), false);
  // From the end `end` along its branch, then through each join.
  const auto follow = [&](int end, bool closed) {
    StrokeRun run;
    run.first = static_cast<uint32_t>(g.steps.size());
    run.closed = closed;
    while (end >= 0 && !used[end / 2]) {
      used[end / 2] = true;
      g.steps.push_back({static_cast<uint32_t>(end / 2), end % 2 == 1 ? 1u : 0u});
      end = partner[end ^ 1];
    }
    run.count = static_cast<uint32_t>(g.steps.size() - run.first);
    g.runs.push_back(run);
  };
  for (size_t b = 0; b < g.branches.size(); ++b) {
    if (g.branches[b].removed || g.branches[b].loop) continue;
    for (int end : {static_cast<int>(2 * b), static_cast<int>(2 * b + 1)}) {
      if (partner[end] >= 0 || used[b]) continue;
      follow(end, false);
    }
  }
  for (size_t b = 0; b < g.branches.size(); ++b) {  // rings and cycles of joins
    if (g.branches[b].removed || used[b]) continue;
    follow(static_cast<int>(2 * b), true);
  }
}
