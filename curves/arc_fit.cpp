// Greedy fitting of lines and arcs: from each vertex the longest piece that
// holds the tolerance, found by doubling and then halving the reach. A piece
// that carries on the last one's tangent is taken when it reaches nearly as
// far as a free one; otherwise the free one starts at a corner.
#include "curves/arc_fit.h"

#include <cmath>

#include "curves/segment.h"

namespace {

// A continuation must reach this share of a free piece's points, or the
// vertex becomes a corner: a smooth line loses little by keeping its
// tangent, a corner loses nearly everything.
constexpr double kSmoothShare = 0.75;

// The widest gap between points along an arc: centrelines step a pixel or
// a diagonal, and a point may sit anywhere within the tolerance.
double Gap(double epsilon) {
  return 2 + 2 * epsilon;
}

struct Reach {
  size_t end;
  double bulge;
};

bool AllWithin(std::span<const PointF> path, size_t s, size_t e, const Segment& piece,
               double epsilon) {
  const DistanceToPiece distance(piece);
  for (size_t i = s + 1; i < e; ++i) {
    if (!distance.Within(path[i], epsilon)) return false;
  }
  return true;
}

// Whether the points follow the arc from its start to its end, with no gap
// along it wider than gap: an arc may hold every point within the tolerance
// and still swing wide of them, round the far side of its circle between
// points that lie along its chord. Each point is placed by its angle round
// the centre; behind the start counts as before it.
bool Followed(std::span<const PointF> path, size_t s, size_t e, const Segment& arc, double gap) {
  const PointF c = arc.Centre();
  const double r = arc.Radius(), sweep = std::fabs(arc.Sweep()), turn = arc.bulge > 0 ? 1 : -1;
  const PointF a{path[s].x - c.x, path[s].y - c.y};
  double reached = 0;  // the farthest any point has come, in radians
  for (size_t i = s + 1; i <= e; ++i) {
    // The angle from the start round the centre, the arc's way: -pi to pi.
    const PointF v{path[i].x - c.x, path[i].y - c.y};
    double at = std::atan2(turn * (a.x * v.y - a.y * v.x), a.x * v.x + a.y * v.y);
    if (at < 0 && at + 2 * M_PI <= sweep) at += 2 * M_PI;  // past half a turn, on the arc
    if (i == e) at = sweep;
    if ((at - reached) * r > gap) return false;
    reached = std::max(reached, at);
  }
  return true;
}

// The circle through both ends nearest the points between, by least
// squares on the circle's equation: the circles through a and b are
// (p - a).(p - b) + lambda n.(p - a) = 0, n the chord's normal; lambda is
// linear. Returns the bulge of its arc on the points' side; 0 when the
// chord is empty or the points lie on it.
double LeastSquaresBulge(std::span<const PointF> path, size_t s, size_t e) {
  const PointF a = path[s], b = path[e];
  const double length = std::hypot(b.x - a.x, b.y - a.y);
  if (length == 0) return 0;
  const PointF n{-(b.y - a.y) / length, (b.x - a.x) / length};
  double crossTerms = 0, squares = 0, side = 0;
  for (size_t i = s + 1; i < e; ++i) {
    const PointF p = path[i];
    const double circle = (p.x - a.x) * (p.x - b.x) + (p.y - a.y) * (p.y - b.y);
    const double off = n.x * (p.x - a.x) + n.y * (p.y - a.y);
    crossTerms += circle * off, squares += off * off, side += off;
  }
  if (squares == 0) return 0;
  // The centre is lambda / 2 behind the chord's midpoint along n; its two
  // arcs have bulges q +- sqrt(q^2 + 1), q = lambda / length, one either side.
  const double q = -crossTerms / squares / length;
  const double root = std::sqrt(q * q + 1);
  // Written so that neither root loses its digits to a cancellation.
  const double positive = q > 0 ? q + root : 1 / (root - q);
  const double negative = q < 0 ? q - root : -1 / (root + q);
  return side < 0 ? positive : negative;  // the arc bulges to the points' side
}

// The bulge that keeps the points between s and e nearest the middle of
// their tolerance, the arc taken as the parabola it nearly is: a point at
// fraction x of the chord, y off it, bounds the sagitta h by
// |y + 4 x (1 - x) h| <= epsilon; the bounds meet or no gentle arc holds.
// O(n). Least squares weigh every point alike and may miss an arc that
// holds; this finds one wherever the bounds leave room.
double MinimaxBulge(std::span<const PointF> path, size_t s, size_t e, double epsilon) {
  const PointF a = path[s], b = path[e];
  const double dx = b.x - a.x, dy = b.y - a.y, squared = dx * dx + dy * dy;
  if (squared == 0) return 0;
  const double length = std::sqrt(squared);
  double low = -HUGE_VAL, high = HUGE_VAL;
  for (size_t i = s + 1; i < e; ++i) {
    const double px = path[i].x - a.x, py = path[i].y - a.y;
    const double x = (px * dx + py * dy) / squared;
    const double y = (dx * py - dy * px) / length;  // along the chord turned a quarter toward +y
    const double f = 4 * x * (1 - x);
    if (f <= 1e-9) {
      if (std::fabs(y) > epsilon) return 0;
      continue;
    }
    low = std::max(low, (-epsilon - y) / f);
    high = std::min(high, (epsilon - y) / f);
  }
  if (low > high) return 0;
  // The arc's middle lies b length / 2 to the right of the chord.
  return (low + high) / 2 * 2 / length;
}

// An arc whose sagitta is under a thousandth of a pixel is a line: its
// radius would be too large for its distances to keep their digits.
double Settled(double bulge, PointF a, PointF b) {
  return Segment{a, b, bulge}.Sagitta() < 1e-3 ? 0 : bulge;
}

// A free piece from s to e: the chord when it holds, else the arc above.
bool FreeFit(std::span<const PointF> path, size_t s, size_t e, double epsilon, double& bulge) {
  bulge = 0;
  if (AllWithin(path, s, e, {path[s], path[e], 0}, epsilon)) return true;
  for (const double candidate :
       {LeastSquaresBulge(path, s, e), MinimaxBulge(path, s, e, epsilon)}) {
    bulge = Settled(candidate, path[s], path[e]);
    if (bulge != 0 && std::isfinite(bulge) &&
        AllWithin(path, s, e, {path[s], path[e], bulge}, epsilon)) {
      return true;
    }
  }
  return false;
}

// The arc from s to e leaving along the tangent.
bool HeldFit(std::span<const PointF> path, size_t s, size_t e, PointF tangent, double epsilon,
             double& bulge) {
  bulge = Settled(BulgeLeavingAlong(path[s], tangent, path[e]), path[s], path[e]);
  return std::isfinite(bulge) && AllWithin(path, s, e, {path[s], path[e], bulge}, epsilon);
}

// The farthest end a piece from s reaches, by doubling the reach until it
// fails and halving the gap between the last success and the failure.
// Assumes a piece that holds to e holds to nearer ends, as on smooth lines.
template <class Fit>
Reach Farthest(size_t s, size_t last, Fit fit) {
  Reach best{s, 0};
  size_t failed = 0;
  for (size_t step = 1;; step *= 2) {
    const size_t e = std::min(s + step, last);
    double bulge = 0;
    if (!fit(e, bulge)) {
      failed = e;
      break;
    }
    best = {e, bulge};
    if (e == last) return best;
  }
  for (size_t low = best.end, high = failed; high - low > 1;) {
    const size_t middle = low + (high - low) / 2;
    double bulge = 0;
    if (fit(middle, bulge)) {
      low = middle, best = {middle, bulge};
    } else {
      high = middle;
    }
  }
  return best;
}

// The piece from s: the longest carrying on the tangent (when smooth) or,
// where a free one reaches much farther, that one. With strict, only arcs
// that their points follow count.
Reach NextPiece(std::span<const PointF> path, size_t s, bool smooth, PointF tangent, double epsilon,
                bool strict) {
  const size_t last = path.size() - 1;
  const auto checked = [&](size_t e, double b) {
    return !strict || b == 0 || Followed(path, s, e, {path[s], path[e], b}, Gap(epsilon));
  };
  const auto free = [&](size_t e, double& b) {
    return FreeFit(path, s, e, epsilon, b) && checked(e, b);
  };
  if (!smooth) return Farthest(s, last, free);
  Reach reach = Farthest(s, last, [&](size_t e, double& b) {
    return HeldFit(path, s, e, tangent, epsilon, b) && checked(e, b);
  });
  // Kept unless a free piece reaches beyond what the share allows: one
  // probe there decides it, most often without a search of its own.
  const size_t beyond =
      s + static_cast<size_t>(static_cast<double>(reach.end - s) / kSmoothShare) + 1;
  double b = 0;
  if (reach.end == s || (beyond <= last && free(beyond, b))) {
    const Reach loose = Farthest(s, last, free);
    if (static_cast<double>(reach.end - s) < kSmoothShare * static_cast<double>(loose.end - s)) {
      reach = loose;
    }
  }
  return reach;
}

}  // namespace

void FitLinesAndArcs(std::span<const PointF> path, double epsilon, FittedPath& fit) {
  fit.vertices.assign(1, path[0]);
  fit.bulges.clear();
  const size_t last = path.size() - 1;
  bool smooth = false;  // the last piece's tangent may be carried on
  PointF tangent{1, 0};
  for (size_t s = 0; s < last;) {
    // Whether the points follow an arc is asked of the chosen one only (it
    // costs an angle a point); the rare arc they do not is searched again.
    Reach reach = NextPiece(path, s, smooth, tangent, epsilon, false);
    if (reach.bulge != 0 &&
        !Followed(path, s, reach.end, {path[s], path[reach.end], reach.bulge}, Gap(epsilon))) {
      reach = NextPiece(path, s, smooth, tangent, epsilon, true);
    }
    Segment piece{path[s], path[reach.end], reach.bulge};
    // A nearly straight arc whose chord holds as well is drawn straight:
    // machines and readers prefer a line to an arc of enormous radius.
    if (piece.bulge != 0 && piece.Sagitta() < epsilon / 2 &&
        AllWithin(path, s, reach.end, {piece.from, piece.to, 0}, epsilon)) {
      piece.bulge = 0;
    }
    fit.vertices.push_back(piece.to);
    fit.bulges.push_back(piece.bulge);
    tangent = piece.EndTangent();
    smooth = true;
    s = reach.end;
  }
}
