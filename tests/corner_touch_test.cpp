// Corner touches: aliased lines one pixel wide that only touch corner to
// corner, side by side, are cut apart; one line, a ring, two lines
// crossing or a line ending on another never is.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "drawing/corner_touch.h"
#include "drawing/distance_map.h"
#include "drawing/thinning.h"
#include "tests/segment_distance.h"

namespace {

struct Segment {
  double ax, ay, bx, by;
};

// Ink within 0.53 px of a segment: aliased lines one pixel wide (half a
// pixel, and a little more where a line steps between rows).
GrayImage Lines(int w, int h, const std::vector<Segment>& segments) {
  GrayImage mask;
  mask.width = w;
  mask.height = h;
  mask.pixels.reset(new uint8_t[w * h]());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      for (const Segment& s : segments) {
        if (SegmentDistance(x, y, s.ax, s.ay, s.bx, s.by) <= 0.53) mask.Row(y)[x] = 1;
      }
    }
  }
  return mask;
}

// The 8-connected pieces of ink, with `mark` the touches marked and left
// out; `marks`: how many links were marked.
int Pieces(GrayImage mask, bool mark = true, int* marks = nullptr) {
  if (mark) {
    const std::unique_ptr<uint8_t[]> distances = ChamferDistances(mask);
    MarkCornerTouches(mask, distances.get());
  }
  const int w = mask.width, h = mask.height;
  std::vector<int> piece(static_cast<size_t>(w * h), -1);
  int pieces = 0, marked = 0;
  for (int start = 0; start < w * h; ++start) {
    marked += std::popcount(static_cast<unsigned>(TouchLinks(mask.pixels[start])));
    if (!(mask.pixels[start] & 1) || piece[start] >= 0) continue;
    std::vector<int> stack{start};
    piece[start] = pieces;
    while (!stack.empty()) {
      const int i = stack.back();
      stack.pop_back();
      for (int k = 0; k < 8; ++k) {
        const int x = i % w + kRingX[k], y = i / w + kRingY[k];
        if (x < 0 || y < 0 || x >= w || y >= h || (TouchLinks(mask.pixels[i]) >> k & 1)) continue;
        if ((mask.pixels[y * w + x] & 1) && piece[y * w + x] < 0) {
          piece[y * w + x] = pieces;
          stack.push_back(y * w + x);
        }
      }
    }
    ++pieces;
  }
  if (marks) *marks = marked / 2;  // each link is marked at both ends
  return pieces;
}

// A random point of the middle of a 90 x 90 picture.
struct Picture {
  std::mt19937 random;
  std::uniform_real_distribution<double> unit{0, 1};

  explicit Picture(unsigned seed) : random(seed) {}
  double Unit() { return unit(random); }
  double Angle() { return Unit() * 2 * M_PI; }
};

TEST(CornerTouch, OneLineOrRingIsNeverCut) {
  Picture p(1211);
  for (int k = 0; k < 300; ++k) {
    SCOPED_TRACE(testing::Message() << "case " << k);
    std::vector<Segment> line;
    const double cx = 45 + p.Unit(), cy = 45 + p.Unit();
    if (k % 3 == 0) {
      // A straight line.
      const double a = p.Angle();
      line.push_back({cx - 35 * std::cos(a), cy - 35 * std::sin(a), cx + 35 * std::cos(a),
                      cy + 35 * std::sin(a)});
    } else if (k % 3 == 1) {
      // A ring, from 1.5 px in radius, of short chords.
      const double r = 1.5 + 20 * p.Unit() * p.Unit(), start = p.Angle();
      for (int i = 0; i < 64; ++i) {
        const double a = start + i * M_PI / 32, b = a + M_PI / 32;
        line.push_back({cx + r * std::cos(a), cy + r * std::sin(a), cx + r * std::cos(b),
                        cy + r * std::sin(b)});
      }
    } else {
      // Two legs meeting at 30 to 150 degrees: arms near an acute vertex
      // may touch each other, which leaves the line one piece.
      const double a = p.Angle(), turn = (30 + 120 * p.Unit()) * M_PI / 180;
      const double b = a + M_PI - turn;
      line.push_back({cx + 35 * std::cos(a), cy + 35 * std::sin(a), cx, cy});
      line.push_back({cx, cy, cx + 35 * std::cos(b), cy + 35 * std::sin(b)});
    }
    int marks = 0;
    EXPECT_EQ(Pieces(Lines(90, 90, line), true, &marks), 1);
    if (k % 3 != 2) {
      EXPECT_EQ(marks, 0);  // no link of a line or a ring
    }
  }
}

TEST(CornerTouch, CrossingLinesAndLinesEndingOnOthersStayOnePiece) {
  Picture p(1212);
  int touching = 0;
  for (int k = 0; k < 300; ++k) {
    SCOPED_TRACE(testing::Message() << "case " << k);
    const double cx = 45 + p.Unit(), cy = 45 + p.Unit(), a = p.Angle();
    const double turn = (k % 2 ? 20 + 140 * p.Unit() : 45 + 90 * p.Unit()) * M_PI / 180;
    const Segment bar{cx - 35 * std::cos(a), cy - 35 * std::sin(a), cx + 35 * std::cos(a),
                      cy + 35 * std::sin(a)};
    // Odd cases cross the bar; even ones end short of its line by 0.6 to
    // 1.6 px, where the stem's last pixel may touch the bar's at a corner.
    const double gap = k % 2 ? -35 : 0.6 + p.Unit();
    const double ux = std::cos(a + turn), uy = std::sin(a + turn);
    const double s = gap / std::sin(turn);  // along the stem, to gap off the bar's line
    const Segment stem{cx + s * ux, cy + s * uy, cx + 35 * ux, cy + 35 * uy};
    SCOPED_TRACE(testing::Message()
                 << "bar " << bar.ax << "," << bar.ay << " " << bar.bx << "," << bar.by << ", stem "
                 << stem.ax << "," << stem.ay << " " << stem.bx << "," << stem.by);
    // Where the stem's ink does not reach the bar's, there is nothing to keep.
    if (Pieces(Lines(90, 90, {bar, stem}), false) != 1) continue;
    ++touching;
    EXPECT_EQ(Pieces(Lines(90, 90, {bar, stem})), 1);
  }
  EXPECT_GT(touching, 200);
}

TEST(CornerTouch, LinesAPixelApartComeApart) {
  Picture p(1213);
  for (int k = 0; k < 300; ++k) {
    SCOPED_TRACE(testing::Message() << "case " << k);
    const double a = p.Angle(), gap = 2.1 + 0.6 * p.Unit(), cx = 45 + p.Unit(), cy = 45 + p.Unit();
    std::vector<Segment> lines;
    for (const double side : {-gap / 2, gap / 2}) {
      const double ox = cx - std::sin(a) * side, oy = cy + std::cos(a) * side;
      const double from = 28 + 6 * p.Unit(), to = 28 + 6 * p.Unit();
      lines.push_back({ox - from * std::cos(a), oy - from * std::sin(a), ox + to * std::cos(a),
                       oy + to * std::sin(a)});
    }
    SCOPED_TRACE(testing::Message()
                 << "lines " << lines[0].ax << "," << lines[0].ay << " " << lines[0].bx << ","
                 << lines[0].by << " and " << lines[1].ax << "," << lines[1].ay << " "
                 << lines[1].bx << "," << lines[1].by);
    EXPECT_EQ(Pieces(Lines(90, 90, lines)), 2);
  }
}

}  // namespace
