#include "ink/paper_level.h"

#include <algorithm>
#include <cmath>

#include "parallel/parts.h"

namespace {

// The quartiles of a cell's histogram in one walk up it: the smallest
// levels whose counts from the bottom reach a quarter, a half and three
// quarters of total (in whole numbers: 4 x below >= k x total).
void Quartiles(const uint16_t* histogram, uint32_t total, uint8_t quartile[3]) {
  uint32_t below = 0;
  int k = 1;
  for (int v = 0; v < 256 && k <= 3; ++v) {
    below += histogram[v];
    while (k <= 3 && below > 0 && 4 * below >= k * total)
      quartile[k++ - 1] = static_cast<uint8_t>(v);
  }
  while (k <= 3) quartile[k++ - 1] = 255;
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

}  // namespace

CellStatistics MeasureCells(const GrayImage& image, int32_t cell, int threads) {
  CellStatistics s;
  s.cell = cell;
  const int64_t width = image.width;  // a local: the rows' bytes cannot overwrite it
  s.columns = static_cast<int32_t>((image.width + cell - 1) / cell);
  s.rows = static_cast<int32_t>((image.height + cell - 1) / cell);
  s.low.resize(static_cast<size_t>(s.columns) * s.rows);
  s.high.resize(s.low.size());
  s.median.resize(s.low.size());
  // The rows of cells share out between the threads, each with its own
  // histograms.
  ForEachSlice(s.rows, threads, [&](int64_t, int64_t first, int64_t end) {
    // A cell counts up to a quarter of its pixels: 16-bit counters suffice.
    std::vector<uint16_t> histograms(static_cast<size_t>(s.columns) * 256);
    for (int64_t r = first; r < end; ++r) {
      std::fill(histograms.begin(), histograms.end(), 0);
      const int64_t y0 = r * cell;
      const int64_t y1 = std::min<int64_t>(y0 + cell, image.height);
      // Every other pixel of every other row: a cell's levels, not its
      // strokes, are wanted, and counting one level over and over (paper)
      // waits on its own counter.
      for (int64_t y = y0; y < y1; y += 2) {
        const uint8_t* row = image.Row(y);
        uint16_t* h = histograms.data();
        for (int64_t x = 0; x < width; x += 2) ++h[(x / cell) * 256 + row[x]];
      }
      for (int32_t c = 0; c < s.columns; ++c) {
        const uint16_t* h = &histograms[static_cast<size_t>(c) * 256];
        const int64_t x1 = std::min<int64_t>(static_cast<int64_t>(c + 1) * cell, image.width);
        const uint32_t total = static_cast<uint32_t>(
            ((x1 - static_cast<int64_t>(c) * cell + 1) / 2) * ((y1 - y0 + 1) / 2));
        const size_t i = static_cast<size_t>(r) * s.columns + c;
        uint8_t quartile[3];
        Quartiles(h, total, quartile);
        s.low[i] = quartile[0];
        s.median[i] = quartile[1];
        s.high[i] = quartile[2];
      }
    }
  });
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

void CellRow(const std::vector<float>& grid, const CellStatistics& cells, int32_t width, int64_t y,
             float* out) {
  const int32_t cell = cells.cell, columns = cells.columns;
  // Between the rows of cells first: the centres of rows r and r + 1.
  const double at = (static_cast<double>(y) + 0.5) / cell - 0.5;
  const int32_t r0 = at <= 0 ? 0 : std::min(static_cast<int32_t>(at), cells.rows - 1);
  const int32_t r1 = std::min(r0 + 1, cells.rows - 1);
  const float wy = at <= 0 || r0 == r1 ? 0.0f : static_cast<float>(at - r0);
  std::vector<float> across(static_cast<size_t>(columns));
  for (int32_t c = 0; c < columns; ++c) {
    const float a = grid[static_cast<size_t>(r0) * columns + c];
    const float b = grid[static_cast<size_t>(r1) * columns + c];
    across[c] = a + (b - a) * wy;
  }
  // Then along the row, a span between two centres at a time; a pixel x
  // lies at (x + 0.5) / cell - 0.5 cells.
  const float inverse = 1.0f / static_cast<float>(cell);
  const auto centre = [&](int32_t c) { return (static_cast<int64_t>(c) * cell + cell / 2); };
  int64_t x = 0;
  for (; x < std::min<int64_t>(centre(0), width); ++x) out[x] = across[0];
  // A pixel's weight is its distance past the centre over the cell.
  for (int32_t c = 0; c + 1 < columns; ++c) {
    const float a = across[c], step = across[c + 1] - a;
    const float first =
        (static_cast<float>(centre(c)) - (static_cast<float>(c) * cell + cell / 2.0f - 0.5f)) *
        inverse;
    const int64_t start = x, end = std::min<int64_t>(centre(c + 1), width);
    for (; x < end; ++x) out[x] = a + step * (first + static_cast<float>(x - start) * inverse);
  }
  for (; x < width; ++x) out[x] = across[columns - 1];
}
