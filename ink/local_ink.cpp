#include "ink/local_ink.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "ink/paper_level.h"
#include "parallel/parts.h"

namespace {

constexpr int32_t kCell = 16;
// Ink narrower than about twice this is taken out of the paper estimate:
// strokes and small filled shapes, not a shadow or the fall of the light.
constexpr int32_t kInkReach = 128;
// Ink lies at least this many times the paper's grain below the paper;
// clear ink twice as far. Grain rarely reaches 4 sigma and never 8.
constexpr double kFaintSigmas = 4;
constexpr double kClearSigmas = 8;
// And clear ink lies at least this share of the paper's level below it:
// where the paper has no grain to speak of, what is left of the light's
// slopes and a shadow's edge between the cells (a few hundredths) is not
// ink; the faintest pencil, blurred, still lies a fifth below its paper.
constexpr double kClearContrast = 0.15;

std::vector<float> AsFloats(const std::vector<uint8_t>& levels) {
  return {levels.begin(), levels.end()};
}

// Whether the ink is dark: more of the picture lies clearly below the bulk
// of its surroundings than above it. Ink is the smaller part wherever it
// is (as the smaller class of one threshold is, on an evenly lit page),
// and grain lies on both sides alike. The bulk: the median of the cells'
// quartiles within radius cells either way. (Within fewer, the inside of a
// ring of thick light ink is mostly ink.) A pixel votes only where it also
// lies clearly beyond its own cell's median: where the light slopes, the
// window cut short at the picture's edge puts the bulk off the paper's
// level there, but the cell's median moves with the paper, and not with
// ink narrower than the cell. A vote: every fourth row will do.
bool InkIsDark(const GrayImage& image, const CellStatistics& cells, int32_t radius, int threads) {
  constexpr int kClear = 16;
  const std::vector<float> bulk = AsFloats(BulkLevels(cells, radius, threads));
  const int32_t width = image.width;  // in a local, as below
  struct Votes {
    uint64_t darker = 0, lighter = 0;
  };
  const auto vote = [&](int64_t first, int64_t end) {
    std::vector<float> level(static_cast<size_t>(width));
    Votes v;
    for (int64_t y = 4 * first; y < 4 * end && y < image.height; y += 4) {
      CellRow(bulk, cells, width, y, level.data());
      const uint8_t* row = image.Row(y);
      const uint8_t* own = &cells.median[static_cast<size_t>(y / cells.cell) * cells.columns];
      for (int64_t x = 0; x < width; ++x) {
        const float median = own[x / cells.cell];
        v.darker += row[x] < std::min(level[x], median) - kClear;
        v.lighter += row[x] > std::max(level[x], median) + kClear;
      }
    }
    return v;
  };
  const Votes votes = SumOverSlices<Votes>((image.height + 3) / 4, threads, vote,
                                           [](Votes& sum, const Votes& part) {
                                             sum.darker += part.darker;
                                             sum.lighter += part.lighter;
                                           });
  return votes.darker >= votes.lighter;
}

// Rewrites each pixel v as to(v, f), with f a factor kept a cell and
// bilinear between the cells.
template <class To>
void ByCellFactor(GrayImage& image, const std::vector<float>& factors, const CellStatistics& cells,
                  int threads, To to) {
  // The width in a local: the compiler cannot know that the rows' bytes do
  // not overwrite it, and would read it again at every pixel.
  const int32_t width = image.width;
  ForEachSlice(image.height, threads, [&](int64_t, int64_t first, int64_t end) {
    std::vector<float> factor(static_cast<size_t>(width));
    for (int64_t y = first; y < end; ++y) {
      CellRow(factors, cells, width, y, factor.data());
      uint8_t* row = image.Row(y);
      for (int64_t x = 0; x < width; ++x) row[x] = to(row[x], factor[x]);
    }
  });
}

// Each pixel as its share of the paper's luminance there, the paper at 255,
// in place. The gain (255 over the paper's level) is what goes between the
// cells: uniform white paper's is 1 and leaves every pixel as it was.
void DarkInkRelativeToPaper(GrayImage& image, const std::vector<uint8_t>& paper,
                            const CellStatistics& cells, int threads) {
  std::vector<float> gains(paper.size());
  for (size_t i = 0; i < paper.size(); ++i) gains[i] = 255.0f / std::max<float>(paper[i], 1);
  ByCellFactor(image, gains, cells, threads, [](uint8_t v, float gain) {
    return static_cast<uint8_t>(std::min(255.0f, v * gain + 0.5f));
  });
}

// Light ink on a dark board, in place, as dark ink on paper at 255: the
// picture lit as evenly as the board's brightest part (light multiplies
// board and chalk alike), then inverted against that board's level. A
// board as black as the file allows is left as it is: its light cannot be
// told, and 4 levels keep grain on a near-black board from being
// multiplied.
void LightInkRelativeToBoard(GrayImage& image, const std::vector<uint8_t>& board,
                             const CellStatistics& cells, int threads) {
  constexpr float kDarkest = 4;
  const float brightest = *std::max_element(board.begin(), board.end());
  const float invert = 255.0f / std::max(255.0f - brightest, 1.0f);
  std::vector<float> evens(board.size());
  for (size_t i = 0; i < board.size(); ++i) {
    evens[i] = (brightest + kDarkest) / (board[i] + kDarkest);
  }
  ByCellFactor(image, evens, cells, threads, [invert](uint8_t v, float even) {
    const float lit = std::min(255.0f, v * even);
    return static_cast<uint8_t>(std::clamp((255.0f - lit) * invert + 0.5f, 0.0f, 255.0f));
  });
}

// The median of a histogram and the spread about it (1.4826 times the
// median absolute deviation: the standard deviation of Gaussian grain,
// untouched by the ink as long as ink is the smaller part).
void MedianAndSpread(const Histogram& h, int& median, double& spread) {
  uint64_t total = 0;
  for (uint64_t c : h) total += c;
  uint64_t below = 0;
  median = 255;
  for (int v = 0; v < 256; ++v) {
    below += h[v];
    if (2 * below >= total) {
      median = v;
      break;
    }
  }
  // The deviations' median: widen a window about the median until it holds
  // half the pixels.
  uint64_t inside = h[median];
  int d = 0;
  while (2 * inside < total && d < 255) {
    ++d;
    if (median - d >= 0) inside += h[median - d];
    if (median + d <= 255) inside += h[median + d];
  }
  spread = 1.4826 * d;
}

// The ink's core: the level a twentieth of the way up the class at or
// below the threshold (the darkest ink, less its darkest specks).
int InkCore(const Histogram& h, int threshold) {
  uint64_t ink = 0;
  for (int v = 0; v <= threshold; ++v) ink += h[v];
  uint64_t below = 0;
  for (int v = 0; v <= threshold; ++v) {
    below += h[v];
    if (20 * below >= ink) return v;
  }
  return threshold;
}

// Marks 2 for clear ink (at or below strong), 1 for faint (at or below
// weak), 0 for paper; then faint ink joined to clear ink through faint ink
// (8-neighbours) becomes ink and the rest paper, so that grain is dropped
// and a faint line is not broken into dashes. Returns the ink pixels.
// O(pixels); the stack holds at most the faint pixels.
uint64_t JoinFaintToClear(GrayImage& image, int weak, int strong, int threads) {
  uint8_t* p = image.pixels.get();
  const uint64_t n = image.PixelCount();
  // Each pixel as keep(its class), on the threads; the pixels kept.
  const auto each = [&](auto keep) {
    return SumOverSlices<uint64_t>(static_cast<int64_t>(n), threads,
                                   [&](int64_t begin, int64_t end) {
                                     uint64_t count = 0;
                                     for (int64_t i = begin; i < end; ++i)
                                       count += (p[i] = keep(p[i])) != 0;
                                     return count;
                                   });
  };
  // Past 2^32 pixels (which the drawing mode refuses) a stack entry would
  // not hold a pixel's index: clear ink only.
  if (weak == strong || n > UINT32_MAX) {
    return each([strong](uint8_t v) -> uint8_t { return v <= strong; });
  }
  each([weak, strong](uint8_t v) -> uint8_t { return v <= strong ? 2 : v <= weak ? 1 : 0; });
  const int64_t w = image.width, h = image.height;
  std::vector<uint32_t> stack;
  const auto spread = [&](int64_t x, int64_t y) {
    for (int64_t dy = -1; dy <= 1; ++dy) {
      for (int64_t dx = -1; dx <= 1; ++dx) {
        const int64_t nx = x + dx, ny = y + dy;
        if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
        uint8_t& v = p[ny * w + nx];
        if (v == 1) v = 2, stack.push_back(static_cast<uint32_t>(ny * w + nx));
      }
    }
  };
  for (int64_t y = 0; y < h; ++y) {
    for (int64_t x = SkipZeros(p + y * w, 0, w); x < w; x = SkipZeros(p + y * w, x + 1, w)) {
      if (p[y * w + x] != 2) continue;
      spread(x, y);
      while (!stack.empty()) {
        const uint64_t i = stack.back();
        stack.pop_back();
        spread(static_cast<int64_t>(i % w), static_cast<int64_t>(i / w));
      }
    }
  }
  return each([](uint8_t v) -> uint8_t { return v == 2; });
}

}  // namespace

InkDecision MakeLocalInkMask(GrayImage& image, InkKind kind, int threads) {
  InkDecision decision;
  decision.local = true;
  const CellStatistics cells = MeasureCells(image, kCell, threads);
  const int32_t radius = (kInkReach + kCell - 1) / kCell;
  decision.dark =
      kind == InkKind::kAuto ? InkIsDark(image, cells, radius, threads) : kind == InkKind::kDark;
  if (decision.dark) {
    DarkInkRelativeToPaper(image, PaperLevels(cells.high, cells.columns, cells.rows, radius), cells,
                           threads);
  } else {
    // The board's level is the paper's on the inverted grid.
    std::vector<uint8_t> levels(cells.low.size());
    for (size_t i = 0; i < levels.size(); ++i) levels[i] = static_cast<uint8_t>(255 - cells.low[i]);
    std::vector<uint8_t> board = PaperLevels(levels, cells.columns, cells.rows, radius);
    for (uint8_t& v : board) v = static_cast<uint8_t>(255 - v);
    LightInkRelativeToBoard(image, board, cells, threads);
  }
  const Histogram histogram = LuminanceHistogram(image, threads);

  const int otsu = OtsuThreshold(histogram);
  decision.threshold = otsu;
  if (otsu < 0) return decision;  // one level: no ink
  int median;
  double spread;
  MedianAndSpread(histogram, median, spread);
  // Half way from the paper to the ink's core: the edge of a stroke at
  // half its contrast, where it is whether or not the lens blurred it.
  const int half = (median + InkCore(histogram, otsu) + 1) / 2;
  const int weak = std::min(half, static_cast<int>(std::floor(median - kFaintSigmas * spread)));
  const double clear = std::max(kClearSigmas * spread, kClearContrast * median);
  const int strong = std::min(weak, static_cast<int>(std::floor(median - clear)));
  decision.threshold = std::max(weak, -1);
  if (strong < 0) {
    std::fill(image.pixels.get(), image.pixels.get() + image.PixelCount(), 0);
    return decision;
  }
  decision.inkPixels = JoinFaintToClear(image, weak, strong, threads);
  decision.found = decision.inkPixels > 0 && decision.inkPixels < image.PixelCount();
  return decision;
}
