// What the drawing mode produces: strokes as polylines in pixel
// coordinates (the centre of pixel (i, j) at (i, j), y downward).
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

struct PointF {
  double x;
  double y;
};

// A point as a drawing keeps it. Single precision holds the simplifier's
// 1/256 px exactly on pictures up to 65536 px a side (to 1/128 px beyond)
// in half the memory: a drawing of noise has millions of points.
struct DrawnPoint {
  float x;
  float y;
};

// A stroke's points are its drawing's points[first, first + count).
struct Stroke {
  uint32_t first = 0;
  uint32_t count = 0;
  bool closed = false;  // a closed stroke ends on its first point
};

// Ink much wider than the drawing's strokes, traced through its middle:
// the box of its ink, in pixels, and its largest half width.
struct FilledArea {
  double x0, y0, x1, y1;
  double halfWidth;
};

struct Drawing {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<DrawnPoint> points;  // every stroke's, one after another
  std::vector<Stroke> strokes;
  // With curves: bulges[i] belongs to the piece from points[i] to the next
  // point of its stroke (see curves/segment.h; 0 straight, a stroke's last
  // unused). Empty when every piece is straight.
  std::vector<float> bulges;
  double penUp = 0;    // pen-up travel between the strokes in their order
  int64_t specks = 0;  // ink components dropped as shorter than the minimum
  int64_t spurs = 0;   // side branches pruned as no arms of their own
  std::vector<FilledArea> filled;

  std::span<const DrawnPoint> Points(const Stroke& s) const {
    return {points.data() + s.first, s.count};
  }
  std::span<DrawnPoint> Points(const Stroke& s) { return {points.data() + s.first, s.count}; }
  double Bulge(size_t point) const { return bulges.empty() ? 0 : bulges[point]; }

  // Turns a stroke round: its points in reverse, each arc bent the other way.
  void Reverse(const Stroke& s) {
    const std::span<DrawnPoint> p = Points(s);
    std::reverse(p.begin(), p.end());
    if (bulges.empty() || s.count < 2) return;
    float* b = bulges.data() + s.first;
    std::reverse(b, b + s.count - 1);
    for (uint32_t i = 0; i + 1 < s.count; ++i) b[i] = -b[i];
  }

  // Appends a stroke through the points of [begin, end) (anything with x
  // and y).
  template <class Iterator>
  void AddStroke(bool closed, Iterator begin, Iterator end) {
    Stroke s{static_cast<uint32_t>(points.size()), 0, closed};
    for (Iterator p = begin; p != end; ++p) {
      points.push_back({static_cast<float>(p->x), static_cast<float>(p->y)});
    }
    s.count = static_cast<uint32_t>(points.size() - s.first);
    strokes.push_back(s);
  }
  void AddStroke(bool closed, std::initializer_list<PointF> through) {
    AddStroke(closed, through.begin(), through.end());
  }
};
