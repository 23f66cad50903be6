// A piece of a path: a straight segment or a circular arc between two
// points, the arc given by its bulge (tan of a quarter of its sweep, as
// DXF keeps it). In pixel coordinates, y downward: a positive bulge turns
// clockwise as the picture is seen.
#pragma once

#include "drawing/drawing.h"

struct Segment {
  PointF from;
  PointF to;
  double bulge = 0;  // 0: straight

  bool Straight() const { return bulge == 0; }
  // How far the arc's middle lies off its chord (0 when straight).
  double Sagitta() const;
  // The arc's sweep in radians, from -2 pi to 2 pi; 0 when straight.
  double Sweep() const;
  // An arc's centre and radius (a straight segment has neither).
  PointF Centre() const;
  double Radius() const;
  // The point at fraction t (0 to 1) of the way along it.
  PointF At(double t) const;
  // The unit tangents at its start and its end, along its direction.
  PointF StartTangent() const;
  PointF EndTangent() const;
  double Length() const;
};

// Distances to one segment or arc, its centre and radius worked out once:
// the fitting asks for thousands of points' distances to each candidate.
class DistanceToPiece {
 public:
  explicit DistanceToPiece(const Segment& s);
  // O(1). The distance from p to the nearest point of the piece.
  double operator()(PointF p) const;
  // Whether p lies within epsilon of it: the same without a square root.
  bool Within(PointF p, double epsilon) const;

 private:
  bool InSweep(PointF v) const;  // v from the centre
  Segment s_;
  bool straight_;
  PointF centre_{0, 0}, a_{0, 0}, b_{0, 0};  // the ends as seen from the centre
  double radius_ = 0, turn_ = 1;
  bool minor_ = true;  // at most half a turn
};

// The distance from p to the nearest point of the segment or arc.
inline double DistanceTo(const Segment& s, PointF p) {
  return DistanceToPiece(s)(p);
}

// The bulge of the arc from `from` to `to` that leaves `from` along the
// unit tangent; 0 when the chord goes that way. No arc turns back on its
// own tangent: a chord behind the tangent has none (NaN).
double BulgeLeavingAlong(PointF from, PointF tangent, PointF to);

// Piece i of a stroke (i + 1 < stroke.count): from its point i to i + 1.
inline Segment PieceOf(const Drawing& d, const Stroke& s, uint32_t i) {
  const DrawnPoint a = d.points[s.first + i], b = d.points[s.first + i + 1];
  return {{a.x, a.y}, {b.x, b.y}, d.Bulge(s.first + i)};
}
