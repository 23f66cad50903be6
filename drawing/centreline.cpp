#include "drawing/centreline.h"

#include <algorithm>
#include <cmath>

namespace {

struct Raster {
  int64_t width, height;
  const uint8_t* distances;

  double At(int64_t x, int64_t y) const {
    return x < 0 || y < 0 || x >= width || y >= height ? 0.0 : distances[y * width + x];
  }
};

// Pixel k of the branch, moved across the stroke: a parabola through the
// distances on the pixel and its two neighbours across the local direction
// puts the ridge to within a fraction of a pixel (the middle of an even
// width lies between two pixels).
PointF Centred(const std::vector<uint32_t>& pixels, size_t k, const Raster& r) {
  const auto x = [&](size_t i) { return static_cast<double>(pixels[i] % r.width); };
  const auto y = [&](size_t i) { return static_cast<double>(pixels[i] / r.width); };
  const size_t before = k >= 2 ? k - 2 : 0, after = std::min(k + 2, pixels.size() - 1);
  const PointF p{x(k), y(k)};
  if (before == after) return p;
  // The normal, rounded to one of the eight neighbour directions.
  const double angle = std::atan2(y(after) - y(before), x(after) - x(before)) + M_PI / 2;
  const int64_t nx = std::lround(std::cos(angle) * 1.3), ny = std::lround(std::sin(angle) * 1.3);
  const int64_t px = static_cast<int64_t>(p.x), py = static_cast<int64_t>(p.y);
  const double minus = r.At(px - nx, py - ny), centre = r.At(px, py), plus = r.At(px + nx, py + ny);
  const double curvature = minus - 2 * centre + plus;
  if (curvature >= 0) return p;
  const double t = std::clamp((minus - plus) / (2 * curvature), -0.5, 0.5);
  return {p.x + t * static_cast<double>(nx), p.y + t * static_cast<double>(ny)};
}

}  // namespace

std::vector<PointF> CentrelineOf(const StrokeGraph& g, const StrokeRun& run, int64_t width,
                                 int64_t height, const uint8_t* distances) {
  const Raster raster{width, height, distances};
  std::vector<PointF> points;
  const auto addNode = [&](int node) {
    if (node < 0) return;
    const PointF p{g.nodes[node].X(), g.nodes[node].Y()};
    if (points.empty() || points.back().x != p.x || points.back().y != p.y) points.push_back(p);
  };
  for (size_t s = 0; s < run.steps.size(); ++s) {
    const Branch& b = g.branches[run.steps[s].branch];
    const bool reversed = run.steps[s].reversed;
    addNode(reversed ? b.to : b.from);
    const size_t n = b.pixels.size();
    for (size_t i = 0; i < n; ++i)
      points.push_back(Centred(b.pixels, reversed ? n - 1 - i : i, raster));
    if (s + 1 == run.steps.size()) addNode(reversed ? b.from : b.to);
  }
  if (run.closed && !points.empty()) {
    const PointF first = points.front();
    if (points.back().x != first.x || points.back().y != first.y) points.push_back(first);
  }
  return points;
}
