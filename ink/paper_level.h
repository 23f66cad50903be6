// The paper's own luminance across a picture, on a coarse grid: light
// falling off, vignetting and shadows change slowly, strokes do not.
#pragma once

#include <cstdint>
#include <vector>

#include "decode/gray_image.h"

// Luminance percentiles of each cell of a grid over the picture.
struct CellStatistics {
  int32_t cell = 16;  // pixels a side
  int32_t columns = 0;
  int32_t rows = 0;
  std::vector<uint8_t> low;   // the 25th percentile a cell, row-major
  std::vector<uint8_t> high;  // the 75th
  std::vector<uint8_t> median;
};

// One pass over the picture; memory a row of cells' histograms.
CellStatistics MeasureCells(const GrayImage& image, int32_t cell, int threads = 1);

// The paper's luminance a cell, from the cells' levels in which ink is
// darker than paper (light ink: invert both first): a closing (largest
// then smallest over radius cells either way) takes away ink narrower than
// the window and keeps the slopes and edges of the lighting as they are.
std::vector<uint8_t> PaperLevels(const std::vector<uint8_t>& levels, int32_t columns, int32_t rows,
                                 int32_t radius);

// The median of the quartiles (low, median and high) of the cells within
// radius cells either way, the window cut short at the grid's edges: the
// bulk of the picture around each cell, paper wherever ink is the smaller
// part, whichever its side. The quartiles stand for the cells' pixels: a
// stroke wider than a cell and over half of one gives it an ink median,
// and a median of the medians took ink for the bulk where such strokes
// crossed half the cells (a U of 18 px legs in a picture 94 px wide).
// The bulk changes slowly: it is found on the middle row of each group of
// kBulkRows rows of cells and held over the group, which takes a quarter
// of the time. O(cells x radius / kBulkRows); threads share the groups.
constexpr int32_t kBulkRows = 4;
std::vector<uint8_t> BulkLevels(const CellStatistics& cells, int32_t radius, int threads = 1);

// A quantity kept a cell (the paper's level, a gain) at each pixel of row
// y, bilinear between the cells' centres and flat beyond the outer ones,
// written to out[0, width). A quantity equal in all cells comes out exact.
void CellRow(const std::vector<float>& grid, const CellStatistics& cells, int32_t width, int64_t y,
             float* out);
