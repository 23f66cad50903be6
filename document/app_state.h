// The one document of the program: the picture, its gray raster, the last
// vectorization's results, the settings and the window's drawing handles.
#pragma once

#include <cstddef>
#include <cstdint>

struct Point {
  int32_t x;
  int32_t y;
};

// One step to one of the eight neighbours: 1 west, 2 south-west, 3 south,
// 4 south-east, 5 east, 6 north-east, 7 north, 8 north-west.
using ChainCode = uint32_t;

constexpr int kChainCapacity = 100000;
constexpr int kCriticalCapacity = 500;
constexpr int32_t kFirstImageWidth = 640;
constexpr int32_t kFirstImageHeight = 480;
constexpr size_t kInfoHeaderSize = 40;
constexpr size_t kFileHeaderSize = 14;

// Step of a code in raster coordinates (y grows downward); index 0 is no step.
constexpr int kStepX[9] = {0, -1, -1, 0, 1, 1, 1, 0, -1};
constexpr int kStepY[9] = {0, 0, 1, 1, 1, 0, -1, -1, -1};

inline ChainCode ReverseCode(ChainCode code) {
  return ((code + 3) % 8) + 1;
}

// Bytes of one 24-bit pixel row, padded to a multiple of four.
inline uint64_t RowStride(int64_t width) {
  return (3 * static_cast<uint64_t>(width) + 3) & ~3ull;
}

struct AppState {
  double epsilon = 1.0;
  // Window-system handles, opaque to the document code.
  void* instance = nullptr;
  void* statusBar = nullptr;
  void* memoryDc = nullptr;
  void* displayBitmap = nullptr;
  int32_t clientWidth = 0;
  int32_t clientHeight = 0;
  int32_t imageWidth = kFirstImageWidth;
  int32_t imageHeight = kFirstImageHeight;
  int32_t showLines = 0;
  // The picture as loaded after the 14-byte file header: a 40-byte info
  // header, then bottom-up 24-bit rows; later holds the display rendition.
  unsigned char* fileImage = nullptr;
  size_t fileImageSize = 0;
  // imageWidth x imageHeight bytes, top row first; non-zero is a line pixel.
  unsigned char* grayRaster = nullptr;
  Point chainStart = {0, 0};
  int32_t chainLength = 0;
  int32_t criticalCount = 0;
  Point criticalPoints[kCriticalCapacity] = {};
  ChainCode chainCodes[kChainCapacity] = {};
};

extern AppState app;

// Frees the picture buffers (the window's close and the tests use it).
void ReleaseDocument();

// Puts the whole record back to its start-up values, buffers released.
void ResetDocument();
