#include "drawing/drawing_vectorizer.h"

#include <algorithm>
#include <cmath>

#include "curves/arc_fit.h"
#include "drawing/centreline.h"
#include "drawing/distance_map.h"
#include "drawing/filled_areas.h"
#include "drawing/fixed_point.h"
#include "drawing/stroke_graph.h"
#include "drawing/stroke_order.h"
#include "drawing/thinning.h"
#include "vectorize/chain_simplifier.h"

namespace {

// The simplifier works on whole numbers: centrelines go in as fixed point,
// as fine as the picture's size lets the products stay exact.
int FixedPointScale(const GrayImage& mask) {
  const int64_t side = std::max(mask.width, mask.height);
  int scale = 256;
  while (scale > 1 && side * scale > (int64_t{1} << 26)) scale /= 2;
  return scale;
}

// Appends the simplified stroke. path: the centreline in fixed point; the
// fit is written over it.
void AddSimplified(Drawing& drawing, std::vector<Point>& path, bool closed, double epsilon,
                   int scale) {
  // A ring smaller than the tolerance still keeps a body: its farthest point.
  Point far = path[0];
  if (closed) {
    int64_t best = -1;
    for (const Point& p : path) {
      const int64_t dx = p.x - path[0].x, dy = p.y - path[0].y;
      if (dx * dx + dy * dy > best) best = dx * dx + dy * dy, far = p;
    }
  }
  const Point first = path[0];
  const int n = static_cast<int>(path.size()) - 1;
  path.resize(std::max<size_t>(path.size(), 3));  // room for the fallbacks below
  int count = SimplifyPoints(path.data(), n, epsilon * scale, 1, path.data(), n + 1);
  if (closed && count < 3 && n >= 2) {
    path[0] = first, path[1] = far, path[2] = first;
    count = 3;
  } else if (count == 1) {
    path[1] = path[0];  // a dot: a stroke of no length
    count = 2;
  }
  // Written straight into the drawing: a stroke may have millions of points.
  drawing.strokes.push_back(
      {static_cast<uint32_t>(drawing.points.size()), static_cast<uint32_t>(count), closed});
  for (int i = 0; i < count; ++i) {
    const PointF p = FromFixed(path[i], scale);
    drawing.points.push_back({static_cast<float>(p.x), static_cast<float>(p.y)});
  }
}

// Appends the stroke fitted with lines and arcs; a stroke too small for
// that (a dot, a ring within the tolerance) is simplified as a polyline.
void AddFitted(Drawing& drawing, std::vector<Point>& path, bool closed, double epsilon, int scale,
               FittedPath& fit, std::vector<PointF>& points) {
  points.resize(path.size());
  for (size_t i = 0; i < path.size(); ++i) points[i] = FromFixed(path[i], scale);
  FitLinesAndArcs(points, epsilon, fit);
  if (fit.vertices.size() < (closed ? 3u : 2u)) {
    AddSimplified(drawing, path, closed, epsilon, scale);
    drawing.bulges.resize(drawing.points.size(), 0);
    return;
  }
  drawing.strokes.push_back({static_cast<uint32_t>(drawing.points.size()),
                             static_cast<uint32_t>(fit.vertices.size()), closed});
  for (size_t i = 0; i < fit.vertices.size(); ++i) {
    drawing.points.push_back(
        {static_cast<float>(fit.vertices[i].x), static_cast<float>(fit.vertices[i].y)});
    drawing.bulges.push_back(i < fit.bulges.size() ? static_cast<float>(fit.bulges[i]) : 0.0f);
  }
}

}  // namespace

DrawingStatus VectorizeDrawing(GrayImage& mask, const DrawingOptions& options, Drawing& drawing) {
  drawing = Drawing{};
  drawing.width = mask.width;
  drawing.height = mask.height;
  if (mask.PixelCount() >= UINT32_MAX) return DrawingStatus::kTooLarge;
  const auto tell = [&](const char* stage) {
    if (options.progress) options.progress(stage);
  };
  FillNotchTips(mask);
  {
    // The distances and the graph go before the ordering needs its room.
    tell("distances");
    const std::unique_ptr<uint8_t[]> distances = ChamferDistances(mask);
    if (!distances) return DrawingStatus::kOutOfMemory;
    tell("thinning");
    if (!ThinToSkeleton(mask, distances.get())) return DrawingStatus::kOutOfMemory;
    tell("strokes");
    const StrokeGraph graph = BuildStrokeGraph(mask, distances.get(), {options.minLength});
    drawing.specks = graph.specks;
    drawing.spurs = graph.spurs;
    drawing.filled = FindFilledAreas(graph, distances.get(), mask.width);
    tell("simplifying");
    const int scale = FixedPointScale(mask);
    drawing.strokes.reserve(graph.runs.size());
    // At most a point a pixel and three a step: reserved rather than grown,
    // the pages never written cost nothing.
    drawing.points.reserve(graph.pool.size() + 3 * graph.steps.size() + 3 * graph.runs.size());
    if (options.curves) drawing.bulges.reserve(drawing.points.capacity());
    FittedPath fit;
    std::vector<PointF> fitPoints;
    const ThroughLines through =
        LinesThroughJunctions(graph, mask.width, mask.height, distances.get(), scale);
    for (const StrokeRun& run : graph.runs) {
      std::vector<Point> path =
          CentrelineOf(graph, run, mask.width, mask.height, distances.get(), scale, &through);
      if (path.empty()) continue;
      if (options.curves) {
        AddFitted(drawing, path, run.closed, options.epsilon, scale, fit, fitPoints);
      } else {
        AddSimplified(drawing, path, run.closed, options.epsilon, scale);
      }
    }
  }
  tell("ordering");
  if (options.order) OrderStrokes(drawing);
  drawing.penUp = PenUpLength(drawing);
  return DrawingStatus::kOk;
}
