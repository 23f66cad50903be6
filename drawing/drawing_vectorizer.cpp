#include "drawing/drawing_vectorizer.h"

#include <algorithm>
#include <cmath>

#include "curves/arc_fit.h"
#include "drawing/centreline.h"
#include "drawing/distance_map.h"
#include "drawing/filled_areas.h"
#include "drawing/fixed_point.h"
#include "drawing/long_path_fit.h"
#include "drawing/stroke_graph.h"
#include "drawing/stroke_order.h"
#include "drawing/thinning.h"
#include "parallel/parts.h"
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
                   int scale, int threads) {
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
  int count = FitLongPath(path.data(), n, epsilon * scale, path.data(), threads);
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
    AddSimplified(drawing, path, closed, epsilon, scale, 1);
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

// What tracing a run needs besides the run.
struct RunTracing {
  const StrokeGraph& graph;
  const GrayImage& mask;
  const uint8_t* distances;
  const ThroughLines& through;
  const DrawingOptions& options;
  int scale;
};

// The strokes of runs [begin, end), appended to `out`.
void TraceRuns(const RunTracing& t, size_t begin, size_t end, Drawing& out) {
  FittedPath fit;
  std::vector<PointF> fitPoints;
  for (size_t r = begin; r < end; ++r) {
    const StrokeRun& run = t.graph.runs[r];
    std::vector<Point> path =
        CentrelineOf(t.graph, run, t.mask.width, t.mask.height, t.distances, t.scale, &t.through);
    if (path.empty()) continue;
    if (t.options.curves) {
      AddFitted(out, path, run.closed, t.options.epsilon, t.scale, fit, fitPoints);
    } else {
      AddSimplified(out, path, run.closed, t.options.epsilon, t.scale, t.options.threads);
    }
  }
}

// Appends the strokes of `piece` to `drawing`.
void AppendStrokes(Drawing& drawing, const Drawing& piece) {
  const auto offset = static_cast<uint32_t>(drawing.points.size());
  for (Stroke s : piece.strokes) {
    s.first += offset;
    drawing.strokes.push_back(s);
  }
  drawing.points.insert(drawing.points.end(), piece.points.begin(), piece.points.end());
  drawing.bulges.insert(drawing.bulges.end(), piece.bulges.begin(), piece.bulges.end());
}

// Every run's stroke, in the runs' order. On several threads the runs are
// cut into parts traced apart and joined in order.
void TraceAllRuns(const RunTracing& t, Drawing& drawing) {
  const size_t runs = t.graph.runs.size();
  if (t.options.threads <= 1 || runs < 2) {
    // At most a point a pixel and three a step: reserved rather than grown,
    // the pages never written cost nothing.
    drawing.strokes.reserve(runs);
    drawing.points.reserve(t.graph.pool.size() + 3 * t.graph.steps.size() + 3 * runs);
    if (t.options.curves) drawing.bulges.reserve(drawing.points.capacity());
    TraceRuns(t, 0, runs, drawing);
    return;
  }
  // Parts of a few runs each, so that one long stroke does not leave the
  // other threads idle for long.
  std::vector<Drawing> pieces(std::min<size_t>(runs, 16 * static_cast<size_t>(t.options.threads)));
  ForEachPart(static_cast<int64_t>(runs), static_cast<int64_t>(pieces.size()), t.options.threads,
              [&](int64_t part, int64_t begin, int64_t end) {
                TraceRuns(t, static_cast<size_t>(begin), static_cast<size_t>(end),
                          pieces[static_cast<size_t>(part)]);
              });
  size_t strokes = 0, points = 0;
  for (const Drawing& piece : pieces)
    strokes += piece.strokes.size(), points += piece.points.size();
  drawing.strokes.reserve(strokes);
  drawing.points.reserve(points);
  if (t.options.curves) drawing.bulges.reserve(points);
  for (Drawing& piece : pieces) {
    AppendStrokes(drawing, piece);
    piece = Drawing{};
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
    const std::unique_ptr<uint8_t[]> distances = ChamferDistances(mask, options.threads);
    if (!distances) return DrawingStatus::kOutOfMemory;
    tell("thinning");
    if (!ThinToSkeleton(mask, distances.get(), options.threads)) return DrawingStatus::kOutOfMemory;
    tell("strokes");
    const StrokeGraph graph = BuildStrokeGraph(mask, distances.get(), {options.minLength});
    drawing.specks = graph.specks;
    drawing.spurs = graph.spurs;
    drawing.filled = FindFilledAreas(graph, distances.get(), mask.width);
    tell("simplifying");
    const int scale = FixedPointScale(mask);
    const ThroughLines through = LinesThroughJunctions(graph, mask.width, mask.height,
                                                       distances.get(), scale, options.threads);
    TraceAllRuns({graph, mask, distances.get(), through, options, scale}, drawing);
  }
  tell("ordering");
  if (options.order) OrderStrokes(drawing);
  drawing.penUp = PenUpLength(drawing);
  return DrawingStatus::kOk;
}
