// The drawing mode on masks drawn here with known centrelines: strokes of
// round caps and joins, widths 1 to 15, lines, crossings, T junctions,
// rings and specks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "drawing/drawing_vectorizer.h"
#include "drawing/stroke_order.h"
#include "tests/segment_distance.h"

namespace {

struct Segment {
  double ax, ay, bx, by;
};

double Distance(double px, double py, const Segment& s) {
  return SegmentDistance(px, py, s.ax, s.ay, s.bx, s.by);
}

// A mask w x h, ink where inkAt(x, y).
template <class InkAt>
GrayImage Paint(int w, int h, const InkAt& inkAt) {
  GrayImage mask;
  mask.width = w;
  mask.height = h;
  mask.pixels.reset(new uint8_t[w * h]());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) mask.Row(y)[x] = inkAt(x, y);
  }
  return mask;
}

// Ink where a pixel centre lies within width / 2 of a segment: round caps.
GrayImage Draw(int w, int h, const std::vector<Segment>& segments, double width) {
  return Paint(w, h, [&](int x, int y) {
    for (const Segment& s : segments) {
      if (Distance(x, y, s) <= width / 2 || (width < 1.5 && Distance(x, y, s) < 0.75)) return true;
    }
    return false;
  });
}

// Ink where at least half of a pixel's 4 x 4 samples lie within width / 2
// of a segment: a drawing anti-aliased and then thresholded at half.
GrayImage DrawSampled(int w, int h, const std::vector<Segment>& segments, double width) {
  return Paint(w, h, [&](int x, int y) {
    int inside = 0;
    for (int k = 0; k < 16; ++k) {
      const double sx = x + (k % 4 + 0.5) / 4 - 0.5, sy = y + (k / 4 + 0.5) / 4 - 0.5;
      inside += std::any_of(segments.begin(), segments.end(),
                            [&](const Segment& s) { return Distance(sx, sy, s) <= width / 2; });
    }
    return inside >= 8;
  });
}

Drawing Vectorize(GrayImage mask, double epsilon = 0.001, int threads = 1) {
  Drawing drawing;
  DrawingOptions options;
  options.epsilon = epsilon;
  options.threads = threads;
  EXPECT_EQ(VectorizeDrawing(mask, options, drawing), DrawingStatus::kOk);
  return drawing;
}

// The largest distance of the stroke's points from the nearest segment.
double Worst(const Drawing& d, const Stroke& stroke, const std::vector<Segment>& segments) {
  double worst = 0;
  for (const DrawnPoint& p : d.Points(stroke)) {
    double nearest = 1e9;
    for (const Segment& s : segments) nearest = std::min(nearest, Distance(p.x, p.y, s));
    worst = std::max(worst, nearest);
  }
  return worst;
}

TEST(Drawing, StraightStrokesOfEveryWidthFollowTheirCentreAndKeepTheirEnds) {
  for (const Segment line : {Segment{10, 30, 110, 30}, Segment{10, 10, 90, 70},
                             Segment{40, 12, 40, 95}, Segment{12, 80, 100, 20}}) {
    for (double width : {1.0, 2.0, 3.0, 4.0, 5.0, 8.0, 11.0, 15.0}) {
      SCOPED_TRACE(testing::Message()
                   << "width " << width << " from " << line.ax << "," << line.ay);
      const Drawing d = Vectorize(Draw(130, 110, {line}, width));
      ASSERT_EQ(d.strokes.size(), 1u);
      const Stroke& s = d.strokes[0];
      EXPECT_FALSE(s.closed);
      EXPECT_LE(Worst(d, s, {line}), 1.0);
      // Both ends reached: each within a pixel of the cap's centre.
      const DrawnPoint a = d.Points(s).front(), b = d.Points(s).back();
      const double ends = std::min(
          std::hypot(a.x - line.ax, a.y - line.ay) + std::hypot(b.x - line.bx, b.y - line.by),
          std::hypot(a.x - line.bx, a.y - line.by) + std::hypot(b.x - line.ax, b.y - line.ay));
      EXPECT_LE(ends, 2.0);
    }
  }
}

// The skeleton of a round cap may run on from the end along the cap's
// rim, out to its edge, or fork into two spurs along it; the stroke ends
// at the cap's centre all the same, without a hook of half its width
// (lines of the random drawings: seeds 8653, 8582, 9949 and 526).
TEST(Drawing, RoundEndsHaveNoHook) {
  const struct {
    Segment line;
    int w, h;
    double width;
  } lines[] = {{{569.33, 184.30, 52.0, 236.90}, 621, 421, 40},
               {{101.77, 186.31, 238.91, 197.91}, 268, 372, 18},
               {{481.72, 253.11, 42.0, 268.90}, 523, 522, 30},
               {{16.0, 101.42, 244.41, 142.07}, 260, 243, 4}};
  for (const auto& [line, w, h, width] : lines) {
    SCOPED_TRACE(width);
    const Drawing d = Vectorize(DrawSampled(w, h, {line}, width));
    ASSERT_EQ(d.strokes.size(), 1u);
    EXPECT_LE(Worst(d, d.strokes[0], {line}), 1.0);
  }
}

// The ends of thin lines at every slope, each within a pixel of the true
// one: where a line one or two pixels wide steps at its end, the thinning
// takes its last pixel (simple, with two neighbours), and the end still
// reaches it; at four pixels the skeleton's last pixel leans onto the
// cap's rim, and the end is the fitted cap's centre, not a pixel aside.
// (At three pixels a digitized cap's nub still pulls an end out by up to
// 1.02 px at some slopes.)
TEST(Drawing, ThinLineEndsAtEverySlope) {
  for (double width : {1.0, 2.0, 4.0}) {
    for (double degrees = 3; degrees < 360; degrees += 11) {
      SCOPED_TRACE(testing::Message() << "width " << width << ", " << degrees << " degrees");
      const double a = degrees * M_PI / 180;
      const Segment line{60.3 - 45 * std::cos(a), 60.6 - 45 * std::sin(a), 60.3 + 45 * std::cos(a),
                         60.6 + 45 * std::sin(a)};
      const Drawing d = Vectorize(Draw(121, 121, {line}, width));
      ASSERT_EQ(d.strokes.size(), 1u);
      const DrawnPoint p = d.Points(d.strokes[0]).front(), q = d.Points(d.strokes[0]).back();
      const double there = std::hypot(p.x - line.ax, p.y - line.ay),
                   back = std::hypot(p.x - line.bx, p.y - line.by);
      const Segment ends = there < back ? line : Segment{line.bx, line.by, line.ax, line.ay};
      EXPECT_LE(std::hypot(p.x - ends.ax, p.y - ends.ay), 1.0);
      EXPECT_LE(std::hypot(q.x - ends.bx, q.y - ends.by), 1.0);
    }
  }
}

// Straight lines 1.5 to 3.5 pixels wide at random slopes and offsets, drawn
// anti-aliased and thresholded: each end within a pixel of the true one.
// Their half width is taken from the runs of ink across the body; the
// shortest chord through the outline's staircase was up to two fifths
// short, and about one end in sixty of lines 2 to 2.5 px wide was put
// more than a pixel out.
TEST(Drawing, ThinLineEndsAtAnyWidthAndOffset) {
  std::mt19937 random(20261211);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int n = 0; n < 150; ++n) {
    const double width = 1.5 + 2 * unit(random), a = 2 * M_PI * unit(random);
    const double cx = 20 + unit(random), cy = 20 + unit(random);
    const Segment line{cx - 12 * std::cos(a), cy - 12 * std::sin(a), cx + 12 * std::cos(a),
                       cy + 12 * std::sin(a)};
    SCOPED_TRACE(testing::Message() << "line " << n << ": width " << width << " from " << line.ax
                                    << ", " << line.ay << " to " << line.bx << ", " << line.by);
    const Drawing d = Vectorize(DrawSampled(41, 41, {line}, width));
    ASSERT_EQ(d.strokes.size(), 1u);
    const DrawnPoint p = d.Points(d.strokes[0]).front(), q = d.Points(d.strokes[0]).back();
    const double ends = std::min(std::max(std::hypot(p.x - line.ax, p.y - line.ay),
                                          std::hypot(q.x - line.bx, q.y - line.by)),
                                 std::max(std::hypot(p.x - line.bx, p.y - line.by),
                                          std::hypot(q.x - line.ax, q.y - line.ay)));
    EXPECT_LE(ends, 1.0);
  }
}

// A stroke that turns a right angle in its last width or so (the tail of
// a lettered s with a 3 px pen): the tip lies aside of the body's line,
// beyond the ink a straight end would have, and the end is sought towards
// the tip rather than along the body, which leaves the ink at the turn
// (1.06 to 1.47 px short).
TEST(Drawing, EndsThatTurnInTheirLastWidthReachTheirCap) {
  const struct {
    double w, heading, radius, turn, bx, by, side;
  } tails[] = {{3.4547, 2.0042, 2.7300, 1.5537, 60.3080, 60.2639, -1},
               {4.6540, 1.4919, 4.3065, 1.5241, 60.0518, 60.0019, -1},
               {3.1358, 4.0053, 3.0143, 1.5415, 60.3912, 60.9089, 1},
               {3.8833, 0.3855, 3.0640, 1.5349, 60.5684, 60.3359, 1},
               {4.7553, 2.6150, 3.6797, 1.5462, 60.8423, 60.7250, 1}};
  for (const auto& [w, a, radius, turn, bx, by, side] : tails) {
    // A straight body of 40 px, then an arc of `turn` about a centre aside.
    std::vector<Segment> stroke = {{bx - 40 * std::cos(a), by - 40 * std::sin(a), bx, by}};
    const double cx = bx - side * radius * std::sin(a), cy = by + side * radius * std::cos(a);
    const auto at = [&](int k) {
      const double t = a + side * turn * k / 12;
      return std::pair{cx + side * radius * std::sin(t), cy - side * radius * std::cos(t)};
    };
    for (int k = 0; k < 12; ++k) {
      stroke.push_back({at(k).first, at(k).second, at(k + 1).first, at(k + 1).second});
    }
    const auto [ex, ey] = at(12);
    SCOPED_TRACE(testing::Message() << "width " << w << ", heading " << a);
    const Drawing d = Vectorize(DrawSampled(120, 120, stroke, w));
    ASSERT_EQ(d.strokes.size(), 1u);
    const std::span<const DrawnPoint> points = d.Points(d.strokes[0]);
    const DrawnPoint p = points.front(), q = points.back();
    EXPECT_LE(std::min(std::hypot(p.x - ex, p.y - ey), std::hypot(q.x - ex, q.y - ey)), 1.0);
    EXPECT_LE(Worst(d, d.strokes[0], stroke), 1.0);
  }
}

// Thin lines running off the picture at every side and slope: an end
// reaching for the ink's last pixel stops at the picture's edge.
TEST(Drawing, EndsAtThePicturesEdgeStayInside) {
  for (double width : {1.0, 2.0}) {
    for (double degrees = 1; degrees < 360; degrees += 7) {
      SCOPED_TRACE(testing::Message() << "width " << width << ", " << degrees << " degrees");
      const double a = degrees * M_PI / 180;
      const Segment line{30.2, 20.4, 30.2 + 60 * std::cos(a), 20.4 + 60 * std::sin(a)};
      const Drawing d = Vectorize(Draw(61, 41, {line}, width));
      for (const DrawnPoint& p : d.points) {
        EXPECT_TRUE(p.x >= -0.5 && p.y >= -0.5 && p.x <= 60.5 && p.y <= 40.5) << p.x << ", " << p.y;
      }
    }
  }
}

// A thin line's corner may lie a pixel off its ink, but never off the
// picture: acute corners of 1 px lines with their vertex a fraction of a
// pixel beyond each side of the picture (the picture fuzzer found one).
TEST(Drawing, CornersAtThePicturesEdgeStayInside) {
  for (double beyond : {0.1, 0.3, 0.45}) {
    for (double degrees = 0; degrees < 360; degrees += 15) {
      SCOPED_TRACE(testing::Message() << beyond << " px beyond, arms round " << degrees);
      const double a = degrees * M_PI / 180, half = 20 * M_PI / 180;
      // The vertex beyond the side the arms come from, outside the picture.
      const double vx = 30 + (30.5 + beyond) * std::cos(a + M_PI),
                   vy = 20 + (20.5 + beyond) * std::sin(a + M_PI);
      const std::vector<Segment> arms = {
          {vx + 40 * std::cos(a - half), vy + 40 * std::sin(a - half), vx, vy},
          {vx, vy, vx + 40 * std::cos(a + half), vy + 40 * std::sin(a + half)}};
      const Drawing d = Vectorize(Draw(61, 41, arms, 1.0));
      for (const DrawnPoint& p : d.points) {
        EXPECT_TRUE(p.x >= -0.5 && p.y >= -0.5 && p.x <= 60.5 && p.y <= 40.5) << p.x << ", " << p.y;
      }
    }
  }
}

TEST(Drawing, CrossingIsTwoStrokesAndTIsBarAndStem) {
  for (double width : {1.0, 3.0, 6.0, 9.0}) {
    SCOPED_TRACE(width);
    const std::vector<Segment> x = {{10, 10, 110, 110}, {10, 110, 110, 10}};
    Drawing d = Vectorize(Draw(120, 120, x, width), 1.0);
    EXPECT_EQ(d.strokes.size(), 2u);
    for (const Stroke& s : d.strokes) EXPECT_LE(Worst(d, s, x), std::max(2.0, width));
    const std::vector<Segment> t = {{10, 20, 110, 20}, {60, 20, 60, 100}};
    d = Vectorize(Draw(120, 110, t, width), 1.0);
    ASSERT_EQ(d.strokes.size(), 2u);
    for (const Stroke& s : d.strokes) EXPECT_LE(Worst(d, s, t), std::max(2.0, width));
  }
  // At an acute angle a thick X thins to two forks far apart, joined by a
  // long bridge of bent skeleton: still one crossing.
  for (double width : {10.0, 20.0, 30.0}) {
    for (double degrees : {25.0, 30.0, 40.0}) {
      SCOPED_TRACE(testing::Message() << "width " << width << ", " << degrees << " degrees");
      const double h = 120 * std::tan(degrees * M_PI / 360);
      const std::vector<Segment> x = {{40, 120 - h, 280, 120 + h}, {40, 120 + h, 280, 120 - h}};
      const Drawing d = Vectorize(Draw(320, 240, x, width), 1.0);
      EXPECT_EQ(d.strokes.size(), 2u);
      for (const Stroke& s : d.strokes) EXPECT_LE(Worst(d, s, x), width);
    }
  }
}

// Two thin lines crossing, at random angles and places. Of 1 or 2 px, at
// 35 to 90 degrees, their stairs may thin to two forks 3 to 5 px apart,
// with the crossing's reach at 2 to 3 px. Of 3 px at 20 to 40 degrees, the
// forks lie near the ends of the inks' overlap, 8 to 18 px apart, often
// each with a knot of junctions. Still two strokes, within the stroke
// width of their lines.
TEST(Drawing, ThinLinesCrossingAreTwoStrokes) {
  std::mt19937 random(20261210);
  std::uniform_real_distribution<double> unit(0, 1);
  const auto cross = [&](int k, double width, double fewest, double most) {
    const double turn = unit(random) * M_PI;
    const double angle = (fewest + (most - fewest) * unit(random)) * M_PI / 180;
    const double cx = 40 + unit(random), cy = 40 + unit(random);
    SCOPED_TRACE(testing::Message()
                 << "case " << k << ": width " << width << ", " << angle * 180 / M_PI
                 << " degrees, turned " << turn << ", at " << cx << ", " << cy);
    std::vector<Segment> x;
    for (const double a : {turn, turn + angle}) {
      const double dx = 30 * std::cos(a), dy = 30 * std::sin(a);
      x.push_back({cx - dx, cy - dy, cx + dx, cy + dy});
    }
    const Drawing d = Vectorize(Draw(81, 81, x, width), 1.0);
    EXPECT_EQ(d.strokes.size(), 2u);
    for (const Stroke& s : d.strokes) EXPECT_LE(Worst(d, s, x), std::max(2.0, width));
  };
  for (int k = 0; k < 300; ++k) cross(k, k % 2 ? 2.0 : 1.0, 35, 90);
  for (int k = 300; k < 500; ++k) cross(k, 3.0, 20, 40);
}

// A k: its arm meets the stem, and its leg the arm, a little above. The
// arm and the leg each bend by 45 degrees to a branch of the stem, which
// from a thick k's two junctions looks like two strokes crossing between
// them; it is a stem, an arm and a leg. (With a 10 px pen, its junctions
// two widths apart, it is still traced as an X: not yet mended.)
TEST(Drawing, AKsArmAndLegDoNotCrossItsStem) {
  const std::vector<Segment> k = {{20, 10, 20, 94}, {60, 38, 20, 78}, {36, 62, 64, 94}};
  for (double width : {3.0, 5.0, 6.0, 8.0}) {
    SCOPED_TRACE(width);
    const Drawing d = Vectorize(Draw(90, 110, k, width), 1.0);
    EXPECT_EQ(d.strokes.size(), 3u);
    for (const Stroke& s : d.strokes) EXPECT_LE(Worst(d, s, k), width);
  }
}

// T's of lines 3 to 5 px wide at random slopes and places: near the
// junction the bar's skeleton bends towards the stem, and from the
// junction's middle its two halves may seem to meet at 45 degrees.
TEST(Drawing, ThinTsAreBarAndStem) {
  std::mt19937 random(20261211);
  std::uniform_real_distribution<double> unit(0, 1);
  int broken = 0;
  for (int k = 0; k < 300; ++k) {
    const double width = 3 + k % 3, slope = unit(random) * M_PI;
    const double stem = slope + (60 + 60 * unit(random)) * M_PI / 180;
    const double x = 60 + unit(random), y = 60 + unit(random);
    const std::vector<Segment> t = {{x - 50 * std::cos(slope), y - 50 * std::sin(slope),
                                     x + 50 * std::cos(slope), y + 50 * std::sin(slope)},
                                    {x, y, x + 45 * std::cos(stem), y + 45 * std::sin(stem)}};
    const Drawing d = Vectorize(Draw(121, 121, t, width), 1.0);
    if (d.strokes.size() != 2) {
      ++broken;
      ADD_FAILURE() << "case " << k << ": width " << width << ", bar at " << slope << ", stem at "
                    << stem << ", from " << x << ", " << y << ": " << d.strokes.size()
                    << " strokes";
    }
  }
  EXPECT_EQ(broken, 0);
}

// Two strokes side by side tied by a short bar, as a script's H: the two
// junctions lie within a junction's width of each other and are one node,
// and from its middle each stem's upper arm and the other's lower one
// seem to run on. Each stem stays one stroke, end to end.
TEST(Drawing, StrokesTiedByAShortBarKeepTheirLines) {
  std::mt19937 random(20261212);
  std::uniform_real_distribution<double> unit(0, 1);
  int broken = 0;
  for (int k = 0; k < 200; ++k) {
    const double width = 2 + k % 2, slant = (unit(random) - 0.5) * 0.7;
    const double gap = width + 2.5 + 2 * unit(random), x = 40 + unit(random), y = 40 + unit(random);
    std::vector<Segment> h;
    for (const double side : {-gap / 2, gap / 2}) {
      const double tilt = slant + (unit(random) - 0.5) * 0.04;
      const double cx = x + side * std::cos(slant), cy = y + side * std::sin(slant);
      h.push_back({cx - 25 * std::sin(tilt), cy + 25 * std::cos(tilt), cx + 25 * std::sin(tilt),
                   cy - 25 * std::cos(tilt)});
    }
    h.push_back({(h[0].ax + h[0].bx) / 2, (h[0].ay + h[0].by) / 2, (h[1].ax + h[1].bx) / 2,
                 (h[1].ay + h[1].by) / 2});
    const Drawing d = Vectorize(Draw(81, 81, h, width), 1.0);
    for (int stem = 0; stem < 2; ++stem) {
      const Segment& s = h[static_cast<size_t>(stem)];
      const auto near = [](const DrawnPoint& p, double x, double y) {
        return std::hypot(p.x - x, p.y - y) <= 2;
      };
      bool whole = false;
      for (const Stroke& stroke : d.strokes) {
        const DrawnPoint p = d.Points(stroke).front(), q = d.Points(stroke).back();
        whole = whole || (near(p, s.ax, s.ay) && near(q, s.bx, s.by)) ||
                (near(q, s.ax, s.ay) && near(p, s.bx, s.by));
      }
      if (!whole) {
        ++broken;
        ADD_FAILURE() << "case " << k << ": width " << width << ", slant " << slant << ", gap "
                      << gap << ": stem " << stem << " is no stroke of its own";
      }
    }
  }
  EXPECT_EQ(broken, 0);
}

// Two aliased lines of one pixel, a pixel or so of paper apart, at any
// slant: their stairs touch corner to corner, often all along, and at
// their ends one line's last pixel may touch the other's. Each line is a
// stroke of its own from end to end, on its line.
TEST(Drawing, AliasedLinesAPixelApartStayTwoLines) {
  std::mt19937 random(20261211);
  std::uniform_real_distribution<double> unit(0, 1);
  int broken = 0;
  for (int k = 0; k < 300; ++k) {
    const double angle = unit(random) * M_PI, gap = 2.1 + 0.6 * unit(random);
    const double cx = 40 + unit(random), cy = 40 + unit(random), ux = std::cos(angle),
                 uy = std::sin(angle);
    std::vector<Segment> lines;
    for (const double side : {-gap / 2, gap / 2}) {
      const double ox = cx - uy * side, oy = cy + ux * side;
      const double from = 24 + 6 * unit(random), to = 24 + 6 * unit(random);
      lines.push_back({ox - from * ux, oy - from * uy, ox + to * ux, oy + to * uy});
    }
    // Within half a pixel of a line, and a little more where it steps.
    const Drawing d = Vectorize(Paint(81, 81, [&](int x, int y) {
      return Distance(x, y, lines[0]) <= 0.53 || Distance(x, y, lines[1]) <= 0.53;
    }));
    int whole = 0;
    for (const Stroke& stroke : d.strokes) {
      const DrawnPoint p = d.Points(stroke).front(), q = d.Points(stroke).back();
      for (const Segment& s : lines) {
        // An aliased line's last pixel lies up to a pixel short of its end.
        const auto near = [](const DrawnPoint& a, double x, double y) {
          return std::hypot(a.x - x, a.y - y) <= 1.5;
        };
        const bool ends = (near(p, s.ax, s.ay) && near(q, s.bx, s.by)) ||
                          (near(q, s.ax, s.ay) && near(p, s.bx, s.by));
        whole += ends && Worst(d, stroke, {s}) <= 1;
      }
    }
    if (d.strokes.size() != 2 || whole != 2) {
      ++broken;
      ADD_FAILURE() << "case " << k << ": lines from " << lines[0].ax << "," << lines[0].ay
                    << " to " << lines[0].bx << "," << lines[0].by << " and from " << lines[1].ax
                    << "," << lines[1].ay << " to " << lines[1].bx << "," << lines[1].by << ": "
                    << d.strokes.size() << " strokes, " << whole << " lines whole";
    }
  }
  EXPECT_EQ(broken, 0);
}

// Two 1 px lines two pixels apart that step aside together, as two
// near-parallel lines do: their stairs touch corner to corner, and from the
// middle of that node a line crossing over to the other runs straight
// through, while either line going on turns by its step. Each stroke keeps
// to its own line: the second one steps in the same row as the first, or
// runs two pixels wide for `wide` rows before it (between two columns).
TEST(Drawing, ThinLinesSteppingSideBySideKeepTheirSides) {
  for (int wide = 0; wide <= 3; ++wide) {
    for (const bool across : {false, true}) {
      SCOPED_TRACE(testing::Message() << "two pixels wide for " << wide << " rows"
                                      << (across ? ", the lines across" : ""));
      // Line k (0 or 1): columns 20 + 2 k from row 10, one over from row 40
      // down to row 70.
      const auto ink = [wide](int row, int column) {
        if (row < 10 || row > 70) return false;
        const int step = row >= 40;
        return column == 20 + step || column == 22 + step ||
               (column == 23 && row >= 40 - wide && row < 40);
      };
      const Drawing d = Vectorize(across ? Paint(80, 40, [&](int x, int y) { return ink(x, y); })
                                         : Paint(40, 80, [&](int x, int y) { return ink(y, x); }));
      ASSERT_EQ(d.strokes.size(), 2u);
      for (const Stroke& s : d.strokes) {
        // Its line: the one its first point lies on, left (0) or right.
        const auto at = [&](const DrawnPoint& p) { return across ? p.y : p.x; };
        const auto row = [&](const DrawnPoint& p) { return across ? p.x : p.y; };
        const DrawnPoint first = d.Points(s).front();
        const double own = at(first) - (row(first) >= 40) < 21 ? 20 : 22;
        for (const DrawnPoint& p : d.Points(s)) {
          // Off its line's column above the step or below it, the nearer.
          const double off = std::min(std::fabs(at(p) - own), std::fabs(at(p) - own - 1));
          const bool nearStep = std::fabs(row(p) - 39.5) < 1;
          EXPECT_LT(off, nearStep ? 1.0 : 0.75) << "line at " << own << ": " << p.x << "," << p.y;
        }
      }
    }
  }
}

// Near a junction the skeleton bends towards the other branch, farther
// along where the two meet at an acute angle. A stroke passing through
// runs on along its own line, straight or round, not to the junction's
// middle: beyond the stroke's width from it, within a pixel of its line.
// One ending there runs on along its own line to the other's.
TEST(Drawing, StrokesPassingAJunctionKeepTheirLine) {
  for (const double w : {15.0, 21.0, 30.0}) {
    for (const double degrees : {25.0, 40.0, 60.0, 90.0}) {
      SCOPED_TRACE(testing::Message() << "width " << w << ", stem at " << degrees);
      const double a = degrees * M_PI / 180;
      const std::vector<Segment> tee = {
          {30, 160, 370, 160}, {200, 160, 200 + 130 * std::cos(a), 160 - 130 * std::sin(a)}};
      const Drawing d = Vectorize(Draw(400, 200, tee, w));
      ASSERT_EQ(d.strokes.size(), 2u);
      for (const Stroke& s : d.strokes) {
        if (std::fabs(d.Points(s).front().y - d.Points(s).back().y) > 5) {
          // The stem: its foot on the bar's line, where the two lines meet.
          const auto points = d.Points(s);
          const DrawnPoint foot =
              points.front().y > points.back().y ? points.front() : points.back();
          EXPECT_LT(std::hypot(foot.x - 200, foot.y - 160), 1.5) << foot.x << "," << foot.y;
          for (const DrawnPoint& p : points) {
            const double off = (p.x - 200) * std::sin(a) + (p.y - 160) * std::cos(a);
            EXPECT_LT(std::fabs(off), 1.0) << "the stem at " << p.x << "," << p.y;
          }
          continue;
        }
        for (const DrawnPoint& p : d.Points(s)) {
          if (std::hypot(p.x - 200, p.y - 160) <= w + 1) continue;
          EXPECT_NEAR(p.y, 160, 1.0) << "the bar at x " << p.x;
        }
      }
    }
  }
  // A stem that turns soon after it leaves the bar (the bar of an e,
  // rising into its bowl) still meets the bar on its own line.
  for (const double w : {10.0, 14.0, 20.0}) {
    SCOPED_TRACE(testing::Message() << "turning stem, width " << w);
    const double top = 160 - 3 * w;
    const std::vector<Segment> drawn = {
        {30, 160, 370, 160}, {200, 160, 200, top}, {200, top, 330, top}};
    const Drawing d = Vectorize(Draw(400, 200, drawn, w));
    ASSERT_EQ(d.strokes.size(), 2u);
    for (const Stroke& s : d.strokes) {
      const auto points = d.Points(s);
      if (std::min(points.front().y, points.back().y) > 150) continue;  // the bar
      const DrawnPoint foot = points.front().y > points.back().y ? points.front() : points.back();
      EXPECT_LT(std::hypot(foot.x - 200, foot.y - 160), 1.5) << foot.x << "," << foot.y;
      for (const DrawnPoint& p : points) {
        if (p.y > top + w && p.y < 160 - w) {
          EXPECT_NEAR(p.x, 200, 1.0) << "the stem at y " << p.y;
        }
      }
    }
  }
  // A ring crossed off its centre by a line: round up to where the line's
  // ink comes within reach.
  for (const double w : {25.0, 40.0}) {
    SCOPED_TRACE(testing::Message() << "ring " << w);
    // Its arms reach 2 w past the ring: shorter, they are lost as spurs.
    std::vector<Segment> drawn = {{10, 185, 350, 185}};
    for (int k = 0; k < 128; ++k) {
      const double a = k * M_PI / 64, b = (k + 1) * M_PI / 64;
      drawn.push_back({180 + 90 * std::cos(a), 150 + 90 * std::sin(a), 180 + 90 * std::cos(b),
                       150 + 90 * std::sin(b)});
    }
    const Drawing d = Vectorize(Draw(360, 300, drawn, w));
    ASSERT_EQ(d.strokes.size(), 2u);
    // The two crossings are two junctions, not one reaching along the line
    // from the first to the second: the ring is closed, the line straight.
    EXPECT_EQ(d.strokes[0].closed + d.strokes[1].closed, 1);
    for (const Stroke& s : d.strokes) {
      for (const DrawnPoint& p : d.Points(s)) {
        if (!s.closed) {
          EXPECT_NEAR(p.y, 185, 1.0) << "the line at x " << p.x;
        } else if (std::fabs(p.y - 185) > w + 1) {
          EXPECT_NEAR(std::hypot(p.x - 180, p.y - 150), 90, 1.0)
              << "the ring at " << p.x << "," << p.y;
        }
      }
    }
  }
}

// A short arm is a stroke of its own once it goes on past the junction
// for more than one and a half of its widths (and two pixels, for thin
// ones); bumps of the outline and the outer join of a corner stay spurs
// (the accuracy table's corners). The arm of a T, and a stroke's end past
// where another leaves it at an acute angle (the stem of an r above its
// arch), whose ink stays within the junction's disc.
TEST(Drawing, ShortArmsAreKept) {
  std::mt19937 random(17);
  std::uniform_real_distribution<double> offset(0, 1);
  for (const double w : {2.0, 3.0, 4.0, 6.0, 8.0, 12.0, 18.0, 30.0}) {
    for (const double degrees : {60.0, 90.0, 120.0}) {
      SCOPED_TRACE(testing::Message() << "width " << w << ", arm at " << degrees);
      const double a = degrees * M_PI / 180, length = 1.5 * w + 2;
      const double x = 200 + offset(random), y = 150 + offset(random);
      const std::vector<Segment> drawn = {
          {20, y, 380, y}, {x, y, x + length * std::cos(a), y - length * std::sin(a)}};
      const Drawing d = Vectorize(Draw(400, 200, drawn, w), 1.0);
      EXPECT_EQ(d.strokes.size(), 2u);
      if (d.strokes.size() != 2) continue;
      for (const Stroke& s : d.strokes) EXPECT_LE(Worst(d, s, drawn), w);
    }
  }
  // (At 35 degrees, 4 and 14 px, the stem's end is still lost; the ends
  // found here are up to 2 px short, where the limit is 1.)
  for (const double w : {4.0, 8.0, 14.0}) {
    for (const double degrees : {35.0, 45.0}) {
      if (degrees == 35 && w != 8) continue;
      SCOPED_TRACE(testing::Message() << "stem " << w << ", arch at " << degrees);
      const double a = degrees * M_PI / 180, top = 40 + offset(random), foot = top + 1.6 * w + 2;
      const std::vector<Segment> drawn = {
          {100, top, 100, 190}, {100, foot, 100 + 120 * std::sin(a), foot - 120 * std::cos(a)}};
      const Drawing d = Vectorize(Draw(220, 200, drawn, w), 1.0);
      EXPECT_EQ(d.strokes.size(), 2u);
      if (d.strokes.size() != 2) continue;
      double highest = 1e9;
      for (const Stroke& s : d.strokes) {
        EXPECT_LE(Worst(d, s, drawn), w);
        for (const DrawnPoint& p : d.Points(s)) {
          if (std::fabs(p.x - 100) < 1) highest = std::min(highest, static_cast<double>(p.y));
        }
      }
      EXPECT_NEAR(highest, top, 2.0) << "the stem's end";
    }
  }
}

// A corner of two arms of `length` meeting at `degrees` at the vertex
// (vx, vy), the first arm at a random angle, in the middle of a square
// picture `side` wide, traced.
struct Corner {
  double turn, vx, vy;
  int side;
  std::vector<Segment> arms;
  Drawing d;

  // first: the first arm's length, if shorter.
  Corner(std::mt19937& random, double w, double degrees, double length, double first = 0)
      : turn(std::uniform_real_distribution<double>(0, 2 * M_PI)(random)) {
    const double a = degrees * M_PI / 180, size = 2 * length + 2 * w + 20;
    if (first <= 0) first = length;
    vx = vy = size / 2;
    side = static_cast<int>(size);
    arms = {{vx + first * std::cos(turn), vy + first * std::sin(turn), vx, vy},
            {vx, vy, vx + length * std::cos(turn + a), vy + length * std::sin(turn + a)}};
    d = Vectorize(Draw(side, side, arms, w));
  }
  double FromVertex(const DrawnPoint& p) const { return std::hypot(p.x - vx, p.y - vy); }
};

// At an acute corner the arms' inks overlap out to w / sin(angle) from the
// vertex, and the skeleton bends towards the other arm as far: the stroke
// keeps to its arms there (0.3 w + 1 within w + 1 of the vertex, a pixel
// beyond) and turns at the vertex, within a pixel and a half of it.
TEST(Drawing, AcuteCornersKeepToTheirArms) {
  std::mt19937 random(7);
  for (const double w : {1.0, 4.0, 8.0, 16.0, 25.0, 40.0}) {
    for (const double degrees : {32.0, 40.0, 48.0}) {
      const Corner c(random, w, degrees, 4 * w + 40);
      SCOPED_TRACE(testing::Message() << "width " << w << ", corner " << degrees << " degrees, "
                                      << "first arm at " << c.turn << " rad");
      ASSERT_EQ(c.d.strokes.size(), 1u);
      double vertex = 1e9;
      for (const DrawnPoint& p : c.d.Points(c.d.strokes[0])) {
        const double limit = c.FromVertex(p) <= w + 1 ? 0.3 * w + 1 : 1.0;
        EXPECT_LE(std::min(Distance(p.x, p.y, c.arms[0]), Distance(p.x, p.y, c.arms[1])), limit)
            << "at " << p.x << "," << p.y;
        vertex = std::min(vertex, c.FromVertex(p));
      }
      EXPECT_LE(vertex, 1.5) << "the nearest point to the vertex";
    }
  }
}

// A thick acute corner with one arm of three and a half to four widths (a
// short leg up to a free end, shorter than the span the arms' lines are
// fitted over): the leg's line is fitted as far as it goes. Without it the
// vertex was put at the spur's tip, several pixels inside the corner, and
// the stroke ran from there to the arm at a slant, up to 3 px off a width
// out; or the tip was kept as an arm of its own.
TEST(Drawing, ThickAcuteCornersWithAShortLegKeepToTheirArms) {
  std::mt19937 random(19);
  std::uniform_real_distribution<double> turn(0, 2 * M_PI), shift(0, 1);
  for (const double w : {12.0, 15.0, 20.0, 30.0}) {
    for (const double degrees : {30.0, 35.0, 40.0}) {
      for (const double leg : {3.5, 4.0}) {
        const double a = turn(random), b = a + degrees * M_PI / 180, length = 4 * w + 40;
        const double side = 2 * length + 2 * w + 20;
        const double vx = side / 2 + shift(random), vy = side / 2 + shift(random);
        const std::vector<Segment> arms = {
            {vx + leg * w * std::cos(a), vy + leg * w * std::sin(a), vx, vy},
            {vx, vy, vx + length * std::cos(b), vy + length * std::sin(b)}};
        SCOPED_TRACE(testing::Message() << "width " << w << ", corner " << degrees << " degrees, "
                                        << "leg " << leg << " widths at " << a << " rad");
        const int n = static_cast<int>(side);
        const Drawing d = Vectorize(DrawSampled(n, n, arms, w));
        EXPECT_EQ(d.strokes.size(), 1u);
        if (d.strokes.size() != 1) continue;
        for (const DrawnPoint& p : d.Points(d.strokes[0])) {
          const double limit = std::hypot(p.x - vx, p.y - vy) <= w + 1 ? 0.3 * w + 1 : 1.0;
          EXPECT_LE(std::min(Distance(p.x, p.y, arms[0]), Distance(p.x, p.y, arms[1])), limit)
              << "at " << p.x << "," << p.y;
        }
      }
    }
  }
}

// Under 30 degrees the arms' inks overlap farther out of the junction
// where they part than a short arm reaches, and the skeleton runs along
// the overlap to the vertex: that is the corner's tip, not a third arm.
// The stroke turns at the vertex (within 0.3 w + 1 of it).
TEST(Drawing, VerySharpCornersAreOneStroke) {
  std::mt19937 random(11);
  for (const double w : {4.0, 6.0, 8.0, 12.0, 16.0, 24.0}) {
    for (const double degrees : {22.0, 26.0}) {
      const Corner c(random, w, degrees, 6 * w + 40);
      SCOPED_TRACE(testing::Message() << "width " << w << ", corner " << degrees << " degrees, "
                                      << "first arm at " << c.turn << " rad");
      EXPECT_EQ(c.d.strokes.size(), 1u);
      if (c.d.strokes.size() != 1) continue;
      double vertex = 1e9;
      for (const DrawnPoint& p : c.d.Points(c.d.strokes[0]))
        vertex = std::min(vertex, c.FromVertex(p));
      EXPECT_LE(vertex, 0.3 * w + 1) << "the nearest point to the vertex";
    }
  }
}

// Corners of any angle from 30 to 60 degrees, of strokes 2 to 12 px wide,
// anti-aliased, the vertex anywhere in its pixel. Near 30 degrees thin
// lines' inks merge into one junction some pixels short of the vertex,
// whose spur marks it: moved there, the junction's arms still bent
// towards where it was, and the stroke ran through it, 1.5 px off its
// arms two widths out. The arms' lines, fitted to a dozen skeleton
// pixels, crossed two pixels off the vertex, or off the ink, and the
// corner was lost. At 45 degrees and 8 px the lines fitted to the centred
// points met a pixel beyond the vertex, and the round join's test took
// the corner for a curve, 3.7 px inside it.
TEST(Drawing, RandomCornersKeepToTheirArmsAndVertex) {
  constexpr uint32_t kSeed = 23;
  std::mt19937 random(kSeed);
  std::uniform_real_distribution<double> turn(0, 2 * M_PI), shift(0, 1);
  for (int i = 0; i < 300; ++i) {
    // Half of them thin and acute, where the inks merge.
    const bool thin = i % 2 == 0;
    const double w = std::uniform_real_distribution<double>(2, thin ? 5 : 12)(random);
    const double degrees = std::uniform_real_distribution<double>(30, thin ? 40 : 60)(random);
    const double a = turn(random);
    const double b = a + degrees * M_PI / 180, length = 4 * w + 40;
    const double side = 2 * length + 2 * w + 20;
    const double vx = side / 2 + shift(random), vy = side / 2 + shift(random);
    const std::vector<Segment> arms = {
        {vx + length * std::cos(a), vy + length * std::sin(a), vx, vy},
        {vx, vy, vx + length * std::cos(b), vy + length * std::sin(b)}};
    SCOPED_TRACE(testing::Message() << "case " << i << " of seed " << kSeed << ": width " << w
                                    << ", corner " << degrees << " degrees at " << a << " rad");
    const int n = static_cast<int>(side);
    const Drawing d = Vectorize(DrawSampled(n, n, arms, w));
    ASSERT_EQ(d.strokes.size(), 1u);
    double vertex = 1e9;
    for (const DrawnPoint& p : d.Points(d.strokes[0])) {
      const double from = std::hypot(p.x - vx, p.y - vy);
      if (from > length - w) continue;  // the free ends: tested on their own
      const double limit = from <= w + 1 ? 0.3 * w + 1 : 1.0;
      ASSERT_LE(std::min(Distance(p.x, p.y, arms[0]), Distance(p.x, p.y, arms[1])), limit)
          << "at " << p.x << "," << p.y;
      vertex = std::min(vertex, from);
    }
    EXPECT_LE(vertex, 0.3 * w + 1) << "the nearest point to the vertex";
  }
}

// A corner with a short arm (the flag of a 1, one and a half to two
// widths) has too little arm to fit its line, so it is not put back; the
// stroke still keeps within the corner's allowance of its arms. The chords
// across the arms' overlap once pulled its points to and fro across the
// corner, a knot up to 0.45 w off.
TEST(Drawing, CornersWithAShortArmKeepNearTheirArms) {
  std::mt19937 random(13);
  for (const double w : {8.0, 10.0, 12.0, 14.0}) {
    for (const double degrees : {30.0, 40.0, 50.0}) {
      for (const double arm : {1.5, 2.0}) {
        const Corner c(random, w, degrees, 4 * w + 40, arm * w);
        SCOPED_TRACE(testing::Message() << "width " << w << ", corner " << degrees << " degrees, "
                                        << "arm " << arm << " widths at " << c.turn << " rad");
        ASSERT_EQ(c.d.strokes.size(), 1u);
        for (const DrawnPoint& p : c.d.Points(c.d.strokes[0])) {
          EXPECT_LE(std::min(Distance(p.x, p.y, c.arms[0]), Distance(p.x, p.y, c.arms[1])),
                    0.3 * w + 1)
              << "at " << p.x << "," << p.y;
        }
      }
    }
  }
}

// A U turn: two parallel legs of length `leg` joined by a half circle of
// radius r about (cx, cy), turned by `angle`.
struct UTurn {
  double cx, cy, r, leg, angle;

  double Distance(double x, double y) const {
    const double c = std::cos(angle), s = std::sin(angle);
    const double u = (x - cx) * c + (y - cy) * s, v = (y - cy) * c - (x - cx) * s;
    if (u >= 0) return std::fabs(std::hypot(u, v) - r);
    const double beyond = std::max(0.0, -leg - u);
    return std::min(std::hypot(beyond, v - r), std::hypot(beyond, v + r));
  }
};

// A tight U turn, its legs a pixel or two apart, is no corner, though the
// thinning may leave a spur at its bend whose pruning leaves a node there.
// Taken for a corner, its whole bend was cut to one point inside it, up to
// 7 px off.
TEST(Drawing, TightTurnsStayRound) {
  std::mt19937 random(17);
  std::uniform_real_distribution<double> turn(0, 2 * M_PI), shift(0, 1);
  for (const double w : {3.0, 4.0, 6.0, 8.0, 12.0}) {
    for (const double r : {w / 2 + 1, w / 2 + 2, w}) {
      for (int k = 0; k < 8; ++k) {
        const double leg = 3 * w + 20, side = 2 * leg + 2 * w + 20;
        const UTurn u{side / 2 + shift(random), side / 2 + shift(random), r, leg, turn(random)};
        SCOPED_TRACE(testing::Message()
                     << "width " << w << ", radius " << r << ", at " << u.angle << " rad");
        const int n = static_cast<int>(side);
        // Anti-aliased and thresholded at half: 4 x 4 samples a pixel.
        const Drawing d = Vectorize(Paint(n, n, [&](int x, int y) {
          int inside = 0;
          for (int i = 0; i < 16; ++i) {
            inside += u.Distance(x + (i % 4 + 0.5) / 4 - 0.5, y + (i / 4 + 0.5) / 4 - 0.5) <= w / 2;
          }
          return inside >= 8;
        }));
        ASSERT_EQ(d.strokes.size(), 1u);
        double worst = 0;
        for (const DrawnPoint& p : d.Points(d.strokes[0])) {
          worst = std::max(worst, u.Distance(p.x, p.y));
        }
        EXPECT_LE(worst, 1.0);
      }
    }
  }
}

// A script's h (two pen strokes: the loop up the stem and down, then from
// the stem's foot into the arch) crosses itself and the arch in one patch
// of ink, whose skeleton is a knot of junctions tied by pixel-long
// branches. Once the junctions merged had spread their box, the knot's
// last junctions, inside it, were left apart, and came out as strokes
// of three pixels.
TEST(Drawing, AScriptsCrossingsLeaveNoScraps) {
  const std::vector<std::vector<double>> pens = {
      {24, 84, 32, 72, 44, 52, 48, 44, 52, 32, 52, 24,
       48, 20, 40, 24, 36, 32, 32, 48, 28, 72, 24, 104},
      {24, 104, 28, 92, 32,  84, 40,  72, 48,  68, 56,  68, 60, 72, 60,
       80, 56,  92, 56, 100, 60, 104, 64, 104, 72, 100, 76, 96, 84, 84}};
  for (const double w : {5.0, 6.0, 7.0}) {
    for (const double shift : {0.0, 0.25, 0.5, 0.75}) {
      std::vector<Segment> segments;
      for (const std::vector<double>& pen : pens) {
        for (size_t k = 0; k + 3 < pen.size(); k += 2) {
          segments.push_back(
              {pen[k] + shift, pen[k + 1] + shift / 2, pen[k + 2] + shift, pen[k + 3] + shift / 2});
        }
      }
      const Drawing d = Vectorize(Draw(100, 120, segments, w));
      for (const Stroke& s : d.strokes) {
        double length = 0;
        const auto points = d.Points(s);
        for (size_t k = 1; k < points.size(); ++k) {
          length += std::hypot(points[k].x - points[k - 1].x, points[k].y - points[k - 1].y);
        }
        EXPECT_GE(length, w) << "width " << w << ", shifted " << shift;
      }
    }
  }
}

// A filled disc traces as a dot and a filled block as a line through its
// middle: both are told, with their boxes; strokes of any width, even a
// drawing of one thick stroke, are not.
TEST(Drawing, FilledAreasAreTold) {
  const std::vector<Segment> drawn = {
      {20, 180, 380, 180}, {20, 20, 20, 150}, {80, 60, 80.01, 60}, {220, 70, 260, 70}};
  GrayImage mask = Draw(400, 200, {drawn[0], drawn[1]}, 3);
  const GrayImage blobs = Draw(400, 200, {drawn[2], drawn[3]}, 50);
  for (size_t i = 0; i < mask.PixelCount(); ++i) mask.pixels[i] |= blobs.pixels[i];
  const Drawing d = Vectorize(std::move(mask), 1.0);
  ASSERT_EQ(d.filled.size(), 2u);
  const double boxes[2][4] = {{55, 35, 105, 85}, {195, 45, 285, 95}};
  for (const FilledArea& f : d.filled) {
    const double* b = boxes[f.x0 < 150 ? 0 : 1];
    EXPECT_NEAR(f.x0, b[0], 3);
    EXPECT_NEAR(f.y0, b[1], 3);
    EXPECT_NEAR(f.x1, b[2], 3);
    EXPECT_NEAR(f.y1, b[3], 3);
    EXPECT_NEAR(f.halfWidth, 25, 2);
  }
  for (const double w : {2.0, 6.0, 12.0, 30.0}) {
    SCOPED_TRACE(w);
    EXPECT_TRUE(
        Vectorize(Draw(400, 200, {{40, 100, 360, 100}, {200, 30, 200, 170}}, w)).filled.empty());
  }
  // Short arms of lines about as wide as a filled area's least, leaving
  // at 50 to 70 degrees: the ink where they leave is wider than the
  // line, but no wider than a junction's.
  int told = 0;
  for (double w = 4.4; w <= 5.05; w += 0.1) {
    for (int k = 0; k < 48; ++k) {
      const double x = 80 + k % 4 * 0.25, y = 80 + k / 4 % 4 * 0.25;
      const double a = 122.5 * M_PI / 180, b = a + (50 + k / 16 * 10) * M_PI / 180;
      const double length = 2.67 * w;
      const std::vector<Segment> arm = {
          {x - 70 * std::cos(a), y - 70 * std::sin(a), x + 70 * std::cos(a), y + 70 * std::sin(a)},
          {x, y, x + length * std::cos(b), y + length * std::sin(b)}};
      told += !Vectorize(Draw(160, 160, arm, w)).filled.empty();
    }
  }
  EXPECT_EQ(told, 0);
  // A filled disc on a line is told.
  GrayImage onLine = Draw(200, 100, {{10, 50, 190, 50}}, 5);
  const GrayImage disc = Draw(200, 100, {{100, 50, 100.01, 50}}, 24);
  for (size_t i = 0; i < onLine.PixelCount(); ++i) onLine.pixels[i] |= disc.pixels[i];
  EXPECT_EQ(Vectorize(std::move(onLine)).filled.size(), 1u);
}

TEST(Drawing, RingIsOneClosedStrokeEndingOnItsFirstPoint) {
  for (double width : {1.0, 4.0, 9.0}) {
    std::vector<Segment> ring;
    for (int k = 0; k < 64; ++k) {
      const double a = k * M_PI / 32, b = (k + 1) * M_PI / 32;
      ring.push_back({60 + 40 * std::cos(a), 60 + 40 * std::sin(a), 60 + 40 * std::cos(b),
                      60 + 40 * std::sin(b)});
    }
    const Drawing d = Vectorize(Draw(120, 120, ring, width), 0.5);
    ASSERT_EQ(d.strokes.size(), 1u) << width;
    const Stroke& s = d.strokes[0];
    EXPECT_TRUE(s.closed);
    EXPECT_EQ(d.Points(s).front().x, d.Points(s).back().x);
    EXPECT_EQ(d.Points(s).front().y, d.Points(s).back().y);
    EXPECT_LE(Worst(d, s, ring), 1.5);
  }
}

// A ridge two pixels wide once thinned away from its end: the whole arm
// was lost. It must keep its length.
TEST(Drawing, EvenWidthArmIsNotEatenFromItsEnd) {
  GrayImage mask;
  mask.width = 20;
  mask.height = 60;
  mask.pixels.reset(new uint8_t[20 * 60]());
  for (int y = 5; y < 55; ++y) mask.Row(y)[9] = mask.Row(y)[10] = 1;
  const Drawing d = Vectorize(std::move(mask));
  ASSERT_EQ(d.strokes.size(), 1u);
  const Stroke& s = d.strokes[0];
  EXPECT_GE(std::fabs(d.Points(s).back().y - d.Points(s).front().y), 47);
  EXPECT_NEAR(d.Points(s).front().x, 9.5, 0.51);
}

// Specks of a pixel or two go, and are counted; a full stop or the dot of
// an i, whose skeleton is as short, is as long as it is wide and stays, as
// a dot within its ink.
TEST(Drawing, SpecksAreDroppedAndCountedButDotsStay) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> offset(0, 1);
  for (int k = 0; k < 28; ++k) {
    const double size = k < 4 ? 0.0 : 4 + k % 10;
    SCOPED_TRACE(size);
    const double x = 60 + offset(rng), y = 30 + offset(rng);
    GrayImage mask = Draw(100, 50, {{10, 10, 80, 10}}, 3);
    if (size > 0) {
      const GrayImage dot = Draw(100, 50, {{x, y, x + 0.01, y}}, size);
      for (size_t i = 0; i < mask.PixelCount(); ++i) mask.pixels[i] |= dot.pixels[i];
    }
    mask.Row(30)[30] = 1;                     // a speck of one pixel
    mask.Row(40)[50] = mask.Row(40)[51] = 1;  // and of two
    const Drawing d = Vectorize(std::move(mask));
    EXPECT_EQ(d.specks, 2);
    ASSERT_EQ(d.strokes.size(), size > 0 ? 2u : 1u);
    for (const Stroke& s : d.strokes) {
      if (d.Points(s).front().y < 20) continue;  // the line
      for (const auto& p : d.Points(s)) EXPECT_LE(std::hypot(p.x - x, p.y - y), size / 2);
    }
  }
}

TEST(Drawing, OrderTakesTheNearestEndAndReversesWhereShorter) {
  Drawing d;
  d.width = d.height = 100;
  d.AddStroke(false, {{90, 0}, {90, 50}});
  d.AddStroke(false, {{10, 0}, {50, 0}});
  d.AddStroke(false, {{80, 0}, {55, 0}});
  const double before = PenUpLength(d);
  OrderStrokes(d);
  EXPECT_LT(PenUpLength(d), before);
  ASSERT_EQ(d.strokes.size(), 3u);
  EXPECT_EQ(d.Points(d.strokes[0]).front().x, 10);
  EXPECT_EQ(d.Points(d.strokes[1]).front().x, 55);  // reversed
  EXPECT_EQ(d.Points(d.strokes[2]).front().y, 0);
  EXPECT_DOUBLE_EQ(PenUpLength(d), 5 + 10);
}

// The threads of one picture share its work, not its result: a drawing of
// many strokes (crossings, T's, rings, widths 1 to 12) is the same on one,
// two and three threads, point for point.
TEST(Drawing, SameDrawingOnAnyNumberOfThreads) {
  for (unsigned seed = 1; seed <= 4; ++seed) {
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> along(5, 395), wide(1, 12);
    std::vector<Segment> segments;
    for (int i = 0; i < 40; ++i)
      segments.push_back({along(random), along(random), along(random), along(random)});
    const GrayImage picture = Draw(400, 400, segments, wide(random));
    const auto copy = [&] {
      GrayImage mask;
      mask.width = picture.width, mask.height = picture.height;
      mask.pixels.reset(new uint8_t[picture.PixelCount()]);
      std::memcpy(mask.pixels.get(), picture.pixels.get(), picture.PixelCount());
      return mask;
    };
    const Drawing one = Vectorize(copy(), 0.5, 1);
    ASSERT_GT(one.strokes.size(), 10u);
    for (int threads : {2, 3}) {
      const Drawing many = Vectorize(copy(), 0.5, threads);
      ASSERT_EQ(many.strokes.size(), one.strokes.size()) << threads << " threads";
      ASSERT_EQ(many.points.size(), one.points.size()) << threads << " threads";
      for (size_t s = 0; s < one.strokes.size(); ++s) {
        EXPECT_EQ(many.strokes[s].first, one.strokes[s].first);
        EXPECT_EQ(many.strokes[s].closed, one.strokes[s].closed);
      }
      for (size_t p = 0; p < one.points.size(); ++p) {
        EXPECT_EQ(many.points[p].x, one.points[p].x);
        EXPECT_EQ(many.points[p].y, one.points[p].y);
      }
    }
  }
}

}  // namespace
