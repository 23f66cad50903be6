// The geometry of a straight segment or circular arc given by its bulge.
#include "curves/segment.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

double Cross(PointF a, PointF b) {
  return a.x * b.y - a.y * b.x;
}

// The chord's direction turned by angle (radians; positive turns +x toward +y).
PointF Turned(PointF v, double angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  return {v.x * c - v.y * s, v.x * s + v.y * c};
}

PointF UnitChord(const Segment& s) {
  const double dx = s.to.x - s.from.x, dy = s.to.y - s.from.y;
  const double length = std::hypot(dx, dy);
  return length > 0 ? PointF{dx / length, dy / length} : PointF{1, 0};
}

double Distance(PointF a, PointF b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

double DistanceToChord(PointF a, PointF b, PointF p) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double squared = dx * dx + dy * dy;
  double t = squared > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / squared : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

}  // namespace

double Segment::Sweep() const {
  return 4 * std::atan(bulge);
}

double Segment::Sagitta() const {
  return std::fabs(bulge) * Distance(from, to) / 2;
}

double Segment::Length() const {
  const double chord = Distance(from, to);
  if (Straight()) return chord;
  return Radius() * std::fabs(Sweep());
}

// The centre lies on the chord's bisector, chord (1 - b^2) / (4 b) off it
// along the chord's direction turned a quarter toward +y.
PointF Segment::Centre() const {
  const double dx = to.x - from.x, dy = to.y - from.y;
  const double offset = (1 - bulge * bulge) / (4 * bulge);
  return {(from.x + to.x) / 2 - offset * dy, (from.y + to.y) / 2 + offset * dx};
}

double Segment::Radius() const {
  return Distance(from, to) * (1 + bulge * bulge) / (4 * std::fabs(bulge));
}

PointF Segment::At(double t) const {
  if (Straight()) return {from.x + t * (to.x - from.x), from.y + t * (to.y - from.y)};
  const PointF c = Centre();
  const PointF r = Turned({from.x - c.x, from.y - c.y}, t * Sweep());
  return {c.x + r.x, c.y + r.y};
}

PointF Segment::StartTangent() const {
  return Turned(UnitChord(*this), -Sweep() / 2);
}
PointF Segment::EndTangent() const {
  return Turned(UnitChord(*this), Sweep() / 2);
}

DistanceToPiece::DistanceToPiece(const Segment& s)
    // An arc of a sagitta under a millionth of a pixel is measured as its
    // chord: its radius is too large for the circle's distances to keep
    // their digits.
    : s_(s), straight_(s.Sagitta() < 1e-6) {
  if (straight_) return;
  centre_ = s.Centre();
  radius_ = s.Radius();
  a_ = {s.from.x - centre_.x, s.from.y - centre_.y};
  b_ = {s.to.x - centre_.x, s.to.y - centre_.y};
  turn_ = s.bulge > 0 ? 1 : -1;
  minor_ = std::fabs(s.bulge) <= 1;
}

// Within a sweep of at most half a turn: past the start and before the
// end. A larger sweep is everything but the smaller one from end to start.
bool DistanceToPiece::InSweep(PointF v) const {
  return minor_ ? turn_ * Cross(a_, v) >= 0 && turn_ * Cross(v, b_) >= 0
                : !(turn_ * Cross(b_, v) > 0 && turn_ * Cross(v, a_) > 0);
}

// A point within the arc's sweep is as far as from the circle; one outside
// it is nearest to an end.
double DistanceToPiece::operator()(PointF p) const {
  if (straight_) return DistanceToChord(s_.from, s_.to, p);
  const PointF v{p.x - centre_.x, p.y - centre_.y};
  if (InSweep(v)) return std::fabs(std::hypot(v.x, v.y) - radius_);
  return std::min(Distance(p, s_.from), Distance(p, s_.to));
}

bool DistanceToPiece::Within(PointF p, double epsilon) const {
  if (straight_) return DistanceToChord(s_.from, s_.to, p) <= epsilon;
  const PointF v{p.x - centre_.x, p.y - centre_.y};
  if (!InSweep(v)) return std::min(Distance(p, s_.from), Distance(p, s_.to)) <= epsilon;
  const double squared = v.x * v.x + v.y * v.y, inner = std::max(0.0, radius_ - epsilon);
  return squared >= inner * inner && squared <= (radius_ + epsilon) * (radius_ + epsilon);
}

// The chord makes half the sweep with the tangent: b = tan(angle / 2).
double BulgeLeavingAlong(PointF from, PointF tangent, PointF to) {
  const PointF chord{to.x - from.x, to.y - from.y};
  const double angle = std::atan2(Cross(tangent, chord), tangent.x * chord.x + tangent.y * chord.y);
  if (std::fabs(angle) > 0.95 * M_PI) return std::numeric_limits<double>::quiet_NaN();
  return std::tan(angle / 2);
}
