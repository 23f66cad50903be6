#include "ink/paper_level.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

#include "parallel/parts.h"

namespace {

// A cell's counts by level, and by block of 16 levels so that a walk up
// them passes the empty and the uneventful blocks at once.
constexpr int kBlock = 16;
struct CellCounts {
  uint16_t level[256];
  uint16_t block[256 / kBlock];
};

// The quartiles of a cell's counts: the smallest levels whose counts from
// the bottom reach a quarter, a half and three quarters of total (in whole
// numbers: 4 x below >= k x total). Clears the counts for the next cell.
void Quartiles(CellCounts& counts, uint32_t total, uint8_t quartile[3]) {
  uint32_t below = 0;
  int k = 1;
  for (int b = 0; b < 256 / kBlock; ++b) {
    const uint32_t inBlock = counts.block[b];
    if (inBlock == 0) continue;
    if (k > 3 || 4 * (below + inBlock) < k * total) {
      below += inBlock;  // no quartile within: passed whole
    } else {
      for (int v = b * kBlock; v < (b + 1) * kBlock; ++v) {
        below += counts.level[v];
        while (k <= 3 && below > 0 && 4 * below >= k * total)
          quartile[k++ - 1] = static_cast<uint8_t>(v);
      }
    }
    std::fill_n(counts.level + b * kBlock, kBlock, 0);
    counts.block[b] = 0;
  }
  while (k <= 3) quartile[k++ - 1] = 255;
}

// Each value replaced by what a Window picks of the values within radius
// along one axis, the window cut short at the grid's edges. The window
// slides: the value entering it is added and the one leaving removed, so
// that the pass is O(n) for windows that add, remove and pick in O(1)
// amortized.
template <class Window>
void Window1D(std::vector<uint8_t>& grid, int32_t columns, int32_t rows, int32_t radius,
              bool alongRows) {
  const std::vector<uint8_t> in = grid;
  const int32_t outer = alongRows ? rows : columns, inner = alongRows ? columns : rows;
  const auto at = [&](int32_t o, int32_t i) {
    return alongRows ? static_cast<size_t>(o) * columns + i : static_cast<size_t>(i) * columns + o;
  };
  for (int32_t o = 0; o < outer; ++o) {
    Window window(inner);
    for (int32_t k = 0; k <= std::min(inner - 1, radius); ++k) window.Add(in[at(o, k)]);
    for (int32_t i = 0; i < inner; ++i) {
      grid[at(o, i)] = window.Pick();
      if (i - radius >= 0) window.Remove(in[at(o, i - radius)]);
      if (i + radius + 1 < inner) window.Add(in[at(o, i + radius + 1)]);
    }
  }
}

// The largest value in the window (Before: std::less), or the smallest
// (std::greater): the values that may still become it, in a queue that
// falls from the front.
template <class Before>
class Extreme {
 public:
  explicit Extreme(int32_t length) : queue_(static_cast<size_t>(length)) {}
  void Add(uint8_t v) {
    while (end_ > begin_ && Before()(queue_[end_ - 1], v)) --end_;
    queue_[end_++] = v;
  }
  void Remove(uint8_t v) {
    if (queue_[begin_] == v) ++begin_;  // else it went when a greater one came
  }
  uint8_t Pick() const { return queue_[begin_]; }

 private:
  std::vector<uint8_t> queue_;
  size_t begin_ = 0, end_ = 0;
};

using Largest = Extreme<std::less<uint8_t>>;
using Smallest = Extreme<std::greater<uint8_t>>;

// The window's median (its upper one when even): the counts of its values,
// and the median and how many lie below it, moved a step at a time.
class Middle {
 public:
  explicit Middle(int32_t) {}
  void Add(uint8_t v) {
    ++count_[v], ++size_;
    below_ += v < median_;
  }
  void Remove(uint8_t v) {
    --count_[v], --size_;
    below_ -= v < median_;
  }
  uint8_t Pick() {
    const uint32_t k = size_ / 2;  // the value with k below it in order
    while (below_ > k) below_ -= count_[--median_];
    while (below_ + count_[median_] <= k) below_ += count_[median_++];
    return static_cast<uint8_t>(median_);
  }

 private:
  std::array<uint32_t, 256> count_{};
  uint32_t size_ = 0, below_ = 0, median_ = 0;
};

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
    std::vector<CellCounts> counts(static_cast<size_t>(s.columns), CellCounts{});
    for (int64_t r = first; r < end; ++r) {
      const int64_t y0 = r * cell;
      const int64_t y1 = std::min<int64_t>(y0 + cell, image.height);
      // Every other pixel of every other row: a cell's levels, not its
      // strokes, are wanted, and counting one level over and over (paper)
      // waits on its own counter.
      for (int64_t y = y0; y < y1; y += 2) {
        const uint8_t* row = image.Row(y);
        for (int32_t c = 0; c < s.columns; ++c) {
          CellCounts& h = counts[static_cast<size_t>(c)];
          const int64_t x1 = std::min<int64_t>(static_cast<int64_t>(c + 1) * cell, width);
          for (int64_t x = (static_cast<int64_t>(c) * cell + 1) & ~int64_t{1}; x < x1; x += 2) {
            ++h.level[row[x]];
            ++h.block[row[x] / kBlock];
          }
        }
      }
      for (int32_t c = 0; c < s.columns; ++c) {
        const int64_t x1 = std::min<int64_t>(static_cast<int64_t>(c + 1) * cell, image.width);
        const uint32_t total = static_cast<uint32_t>(
            ((x1 - static_cast<int64_t>(c) * cell + 1) / 2) * ((y1 - y0 + 1) / 2));
        const size_t i = static_cast<size_t>(r) * s.columns + c;
        uint8_t quartile[3];
        Quartiles(counts[static_cast<size_t>(c)], total, quartile);
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
  Window1D<Largest>(grid, wide, high, radius, true);
  Window1D<Largest>(grid, wide, high, radius, false);
  Window1D<Smallest>(grid, wide, high, radius, true);
  Window1D<Smallest>(grid, wide, high, radius, false);
  std::vector<uint8_t> paper(levels.size());
  for (int32_t r = 0; r < rows; ++r) {
    std::copy_n(&grid[static_cast<size_t>(r + radius) * wide + radius], columns,
                &paper[static_cast<size_t>(r) * columns]);
  }
  return paper;
}

std::vector<uint8_t> BulkLevels(const CellStatistics& cells, int32_t radius, int threads) {
  const int32_t columns = cells.columns, rows = cells.rows;
  std::vector<uint8_t> bulk(cells.median.size());
  const int32_t groups = (rows + kBulkRows - 1) / kBulkRows;
  ForEachSlice(groups, threads, [&](int64_t, int64_t first, int64_t end) {
    for (int32_t g = static_cast<int32_t>(first); g < end; ++g) {
      const int32_t r = std::min(rows - 1, g * kBulkRows + kBulkRows / 2);
      const int32_t top = std::max(0, r - radius), bottom = std::min(rows - 1, r + radius);
      Middle window(0);
      const auto column = [&](int32_t c, bool add) {
        for (int32_t k = top; k <= bottom; ++k) {
          const size_t i = static_cast<size_t>(k) * columns + c;
          for (uint8_t v : {cells.low[i], cells.median[i], cells.high[i]}) {
            add ? window.Add(v) : window.Remove(v);
          }
        }
      };
      uint8_t* row = &bulk[static_cast<size_t>(g) * kBulkRows * columns];
      for (int32_t c = 0; c <= std::min(columns - 1, radius); ++c) column(c, true);
      for (int32_t c = 0; c < columns; ++c) {
        row[c] = window.Pick();
        if (c - radius >= 0) column(c - radius, false);
        if (c + radius + 1 < columns) column(c + radius + 1, true);
      }
      for (int32_t k = g * kBulkRows + 1; k < std::min(rows, (g + 1) * kBulkRows); ++k) {
        std::copy_n(row, columns, &bulk[static_cast<size_t>(k) * columns]);
      }
    }
  });
  return bulk;
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
