// At every node the branches that continue each other in direction are
// joined, the pairing that is straightest over the whole node; then the
// strokes are read off as runs of joined branches, open from a free end
// or closed round a cycle.
#include <algorithm>
#include <cmath>

#include "drawing/stroke_graph.h"

namespace {

constexpr double kMaxTurnDegrees = 45;

// The pairs of a node's n ends that join, from their straightness (n x n):
// each at least `limit` straight, the greatest sum of straightness over
// the node. Not the straightest pair first: where two lines touch side by
// side, one crossing over to the other may be the straightest pair and
// leave the other two to a worse one, or none. Every pairing is tried up
// to kWhole ends, O(n!!) (a junction has three to five); past them, only
// on noise, the straightest pair first.
constexpr size_t kWhole = 10;

std::vector<std::pair<size_t, size_t>> StraightestPairs(const std::vector<double>& straight,
                                                        double limit) {
  const size_t n = static_cast<size_t>(std::lround(std::sqrt(straight.size())));
  const auto s = [&](size_t i, size_t j) { return straight[i * n + j]; };
  std::vector<std::pair<size_t, size_t>> best, now;
  std::vector<bool> taken(n, false);
  if (n > kWhole) {
    std::vector<std::pair<double, std::pair<size_t, size_t>>> pairs;
    for (size_t i = 0; i < n; ++i) {
      for (size_t j = i + 1; j < n; ++j) {
        if (s(i, j) >= limit) pairs.push_back({-s(i, j), {i, j}});
      }
    }
    std::sort(pairs.begin(), pairs.end());
    for (const auto& [cost, pair] : pairs) {
      if (taken[pair.first] || taken[pair.second]) continue;
      taken[pair.first] = taken[pair.second] = true;
      best.push_back(pair);
    }
    return best;
  }
  double bestSum = -1;
  const auto search = [&](auto& self, size_t from, double sum) -> void {
    while (from < n && taken[from]) ++from;
    if (from == n) {
      if (sum > bestSum + 1e-9) bestSum = sum, best = now;
      return;
    }
    taken[from] = true;
    self(self, from + 1, sum);  // left without a partner
    for (size_t j = from + 1; j < n; ++j) {
      if (taken[j] || s(from, j) < limit) continue;
      taken[j] = true;
      now.push_back({from, j});
      self(self, from + 1, sum + s(from, j));
      now.pop_back();
      taken[j] = false;
    }
    taken[from] = false;
  };
  search(search, 0, 0);
  return best;
}

void JoinAtNodes(StrokeGraph& g, const uint8_t* distances, int64_t width, int64_t height,
                 std::vector<int>& partner) {
  const NodeEnds endsAt = EndsAtNodes(g);
  g.bends.assign(g.nodes.size(), 0);
  const double limit = std::cos(kMaxTurnDegrees * M_PI / 180);
  for (size_t node = 0; node < g.nodes.size(); ++node) {
    const std::span<const int> ends = endsAt.At(static_cast<int>(node));
    if (ends.size() < 2) continue;
    if (ends.size() == 2) {  // what pruning left of a junction: one line through it
      partner[ends[0]] = ends[1];
      partner[ends[1]] = ends[0];
      // At a corner the arms' inks overlap as far out as at a junction of
      // the same angle, and the skeleton bends as far; round a tight turn
      // it follows the turn.
      double ax, ay, bx, by;
      BranchDirection(g, ends[0], width, ax, ay);
      BranchDirection(g, ends[1], width, bx, by);
      if (-(ax * bx + ay * by) < limit) {
        const double reach =
            JunctionReach(g, static_cast<int>(node), ends, distances, width, ReachOf::kCorner);
        if (TurnIsCorner(g, static_cast<int>(node), ends, reach, distances, width, height)) {
          g.bends[node] = -static_cast<float>(reach);
        }
      }
      continue;
    }
    // At an X whose forks were merged, out to each fork and a radius
    // beyond: the forks of an acute X of thin lines lie near the ends of
    // the inks' overlap, beyond the reach its angle gives.
    const Node& n = g.nodes[node];
    g.bends[node] = static_cast<float>(std::max(
        JunctionReach(g, static_cast<int>(node), ends, distances, width, ReachOf::kStrokes),
        n.spread > 0 ? n.spread + n.Radius() : 0.0));
    for (const auto& [i, j] :
         StraightestPairs(PairStraightness(g, static_cast<int>(node), ends, width), limit)) {
      partner[ends[i]] = ends[j];
      partner[ends[j]] = ends[i];
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
