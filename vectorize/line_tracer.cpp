#include "vectorize/line_tracer.h"

bool IsLinePixel(int64_t x, int64_t y) {
  if (!app.grayRaster || x < 0 || y < 0 || x >= app.imageWidth || y >= app.imageHeight) {
    return false;
  }
  return app.grayRaster[y * app.imageWidth + x] != 0;
}

namespace {

int CountOf(const int64_t (&probes)[5][2]) {
  int count = 0;
  for (const auto& p : probes) count += IsLinePixel(p[0], p[1]) ? 1 : 0;
  return count;
}

}  // namespace

int CountLineNeighbours(int64_t x, int64_t y) {
  const int64_t right = app.imageWidth - 1;
  const int64_t bottom = app.imageHeight - 1;
  if ((x == 0 || x == right) && (y == 0 || y == bottom)) return 1;
  if (x == 0) return CountOf({{0, y - 1}, {0, y + 1}, {1, y - 1}, {1, y}, {1, y + 1}});
  if (y == 0) return CountOf({{x - 1, 0}, {x + 1, 0}, {x - 1, 1}, {x, 1}, {x + 1, 1}});
  if (x == right) {
    return CountOf({{x, y - 1}, {x, y + 1}, {x - 1, y - 1}, {x - 1, y}, {x - 1, y + 1}});
  }
  if (y == bottom) {
    return CountOf({{x - 1, y}, {x + 1, y}, {x - 1, y - 1}, {x, y - 1}, {x + 1, y - 1}});
  }
  int count = 0;
  for (ChainCode d = 1; d <= 8; ++d) count += IsLinePixel(x + kStepX[d], y + kStepY[d]) ? 1 : 0;
  return count;
}

Point FindStartPixel(bool* found) {
  *found = false;
  if (!app.grayRaster) return {-1, -1};
  for (int32_t y = 0; y < app.imageHeight; ++y) {
    for (int32_t x = 0; x < app.imageWidth; ++x) {
      if (IsLinePixel(x, y) && CountLineNeighbours(x, y) == 1) {
        *found = true;
        return {x, y};
      }
    }
  }
  return {-1, -1};
}

int TraceLine() {
  bool found = false;
  const Point start = FindStartPixel(&found);
  if (!found) {
    app.chainStart = {0, 0};
    return kTraceNoStart;
  }
  app.chainStart = start;
  int64_t x = start.x;
  int64_t y = start.y;
  ChainCode blocked = 0;
  for (bool moved = true; moved;) {
    moved = false;
    for (ChainCode d = 1; d <= 8; ++d) {
      if (d == blocked || !IsLinePixel(x + kStepX[d], y + kStepY[d])) continue;
      if (app.chainLength == kChainCapacity) return kTraceChainCut;
      app.chainCodes[app.chainLength++] = d;
      x += kStepX[d];
      y += kStepY[d];
      blocked = ReverseCode(d);
      moved = true;
    }
  }
  return 0;
}
