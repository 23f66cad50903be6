#include "ink/paper_level.h"

#include <algorithm>
#include <cmath>

namespace {

// The smallest level whose count from the bottom reaches share of total.
int Percentile(const uint16_t* histogram, uint32_t total, double share) {
  const double wanted = share * total;
  double below = 0;
  for (int v = 0; v < 256; ++v) {
    below += histogram[v];
    if (below >= wanted && below > 0) return v;
  }
  return 255;
}

// Each value replaced by pick(the values within radius along one axis),
// the window cut short at the grid's edges. O(n * radius) on a grid of a
// few thousand cells.
template <class Pick>
void Window1D(std::vector<uint8_t>& grid, int32_t columns, int32_t rows, int32_t radius,
              bool alongRows, Pick pick) {
  const std::vector<uint8_t> in = grid;
  const int32_t outer = alongRows ? rows : columns, inner = alongRows ? columns : rows;
  const auto at = [&](int32_t o, int32_t i) {
    return alongRows ? static_cast<size_t>(o) * columns + i : static_cast<size_t>(i) * columns + o;
  };
  std::vector<uint8_t> window;
  for (int32_t o = 0; o < outer; ++o) {
    for (int32_t i = 0; i < inner; ++i) {
      window.clear();
      for (int32_t k = std::max(0, i - radius); k <= std::min(inner - 1, i + radius); ++k) {
        window.push_back(in[at(o, k)]);
      }
      grid[at(o, i)] = pick(window);
    }
  }
}

uint8_t Largest(std::vector<uint8_t>& w) {
  return *std::max_element(w.begin(), w.end());
}
uint8_t Smallest(std::vector<uint8_t>& w) {
  return *std::min_element(w.begin(), w.end());
}
uint8_t Middle(std::vector<uint8_t>& w) {
  std::nth_element(w.begin(), w.begin() + w.size() / 2, w.end());
  return w[w.size() / 2];
}

// Cell index and weight of the next cell for a pixel coordinate, between
// the cells' centres and flat beyond the outer ones.
void Between(int64_t p, int32_t cell, int32_t count, int32_t& first, float& weight) {
  const double at = (static_cast<double>(p) + 0.5) / cell - 0.5;
  if (at <= 0 || count == 1) {
    first = 0, weight = 0;
    return;
  }
  first = static_cast<int32_t>(at);
  if (first >= count - 1) {
    first = count - 1, weight = 0;
    return;
  }
  weight = static_cast<float>(at - first);
}

}  // namespace

CellStatistics MeasureCells(const GrayImage& image, int32_t cell) {
  CellStatistics s;
  s.cell = cell;
  s.columns = static_cast<int32_t>((image.width + cell - 1) / cell);
  s.rows = static_cast<int32_t>((image.height + cell - 1) / cell);
  s.low.resize(static_cast<size_t>(s.columns) * s.rows);
  s.high.resize(s.low.size());
  s.median.resize(s.low.size());
  // A cell of 16 x 16 pixels counts up to 256: 16-bit counters suffice.
  std::vector<uint16_t> histograms(static_cast<size_t>(s.columns) * 256);
  for (int32_t r = 0; r < s.rows; ++r) {
    std::fill(histograms.begin(), histograms.end(), 0);
    const int64_t y0 = static_cast<int64_t>(r) * cell;
    const int64_t y1 = std::min<int64_t>(y0 + cell, image.height);
    for (int64_t y = y0; y < y1; ++y) {
      const uint8_t* row = image.Row(y);
      for (int32_t c = 0; c < s.columns; ++c) {
        uint16_t* h = &histograms[static_cast<size_t>(c) * 256];
        const int64_t x1 = std::min<int64_t>(static_cast<int64_t>(c + 1) * cell, image.width);
        for (int64_t x = static_cast<int64_t>(c) * cell; x < x1; ++x) ++h[row[x]];
      }
    }
    for (int32_t c = 0; c < s.columns; ++c) {
      const uint16_t* h = &histograms[static_cast<size_t>(c) * 256];
      const int64_t x1 = std::min<int64_t>(static_cast<int64_t>(c + 1) * cell, image.width);
      const uint32_t total =
          static_cast<uint32_t>((x1 - static_cast<int64_t>(c) * cell) * (y1 - y0));
      const size_t i = static_cast<size_t>(r) * s.columns + c;
      s.low[i] = static_cast<uint8_t>(Percentile(h, total, 0.25));
      s.high[i] = static_cast<uint8_t>(Percentile(h, total, 0.75));
      s.median[i] = static_cast<uint8_t>(Percentile(h, total, 0.5));
    }
  }
  return s;
}

std::vector<uint8_t> PaperLevels(const std::vector<uint8_t>& levels, int32_t columns, int32_t rows,
                                 int32_t radius) {
  // The closing runs on the grid widened by radius cells of its edge's own
  // levels: cut-short windows would leave the smallest pass without the
  // largest values beyond the edge, and a slope of light running into the
  // edge would come out too bright there, by up to radius cells of slope.
  const int32_t wide = columns + 2 * radius, high = rows + 2 * radius;
  std::vector<uint8_t> grid(static_cast<size_t>(wide) * high);
  for (int32_t r = 0; r < high; ++r) {
    const int32_t from = std::clamp(r - radius, 0, rows - 1);
    for (int32_t c = 0; c < wide; ++c) {
      grid[static_cast<size_t>(r) * wide + c] =
          levels[static_cast<size_t>(from) * columns + std::clamp(c - radius, 0, columns - 1)];
    }
  }
  for (auto pick : {Largest, Smallest}) {
    Window1D(grid, wide, high, radius, true, pick);
    Window1D(grid, wide, high, radius, false, pick);
  }
  std::vector<uint8_t> paper(levels.size());
  for (int32_t r = 0; r < rows; ++r) {
    std::copy_n(&grid[static_cast<size_t>(r + radius) * wide + radius], columns,
                &paper[static_cast<size_t>(r) * columns]);
  }
  return paper;
}

std::vector<uint8_t> MedianLevels(const std::vector<uint8_t>& levels, int32_t columns, int32_t rows,
                                  int32_t radius) {
  std::vector<uint8_t> grid = levels;
  Window1D(grid, columns, rows, radius, true, Middle);
  Window1D(grid, columns, rows, radius, false, Middle);
  return grid;
}

void PaperRow(const std::vector<uint8_t>& paper, const CellStatistics& cells, int32_t width,
              int64_t y, float* out) {
  int32_t r0;
  float wy;
  Between(y, cells.cell, cells.rows, r0, wy);
  const int32_t r1 = std::min(r0 + 1, cells.rows - 1);
  // The row of cell levels first, then along it.
  std::vector<float> across(static_cast<size_t>(cells.columns));
  for (int32_t c = 0; c < cells.columns; ++c) {
    const float a = paper[static_cast<size_t>(r0) * cells.columns + c];
    const float b = paper[static_cast<size_t>(r1) * cells.columns + c];
    across[c] = a + (b - a) * wy;
  }
  for (int64_t x = 0; x < width; ++x) {
    int32_t c0;
    float wx;
    Between(x, cells.cell, cells.columns, c0, wx);
    const int32_t c1 = std::min(c0 + 1, cells.columns - 1);
    out[x] = across[c0] + (across[c1] - across[c0]) * wx;
  }
}
