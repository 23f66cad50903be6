// Speed of loading, tracing and simplifying, each beside its baseline.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "document/app_state.h"
#include "document/bmp_reader.h"
#include "tests/bmp_files.h"
#include "tests/straightforward_simplifier.h"
#include "vectorize/chain_simplifier.h"
#include "vectorize/line_tracer.h"

namespace {

// A 24-bit picture with a long one-pixel spiral, written once.
std::string SpiralPicture(int side) {
  const std::string path = "/tmp/kwindra-bench-" + std::to_string(side) + ".bmp";
  std::ifstream existing(path);
  if (existing) return path;
  BmpLayout layout;
  layout.width = layout.height = side;
  Bytes file = MakeBmp(layout, [](int, int) { return Rgb{0, 0, 0}; });
  const uint64_t stride = RowStride(side);
  for (double t = 1; t < side / 9.0; t += 0.5 / t) {
    const int x = side / 2 + static_cast<int>(4 * t * std::cos(t));
    const int y = side / 2 + static_cast<int>(4 * t * std::sin(t));
    if (x < 0 || y < 0 || x >= side || y >= side) break;
    unsigned char* p = &file[54 + (side - 1 - y) * stride + 3 * x];
    p[0] = p[1] = p[2] = 255;
  }
  WriteBytes(path, file);
  return path;
}

// The loading cases run with the file in the page cache (warm: read once
// before timing) and without (cold: its cached pages dropped before each
// iteration), and say which: the two differ by an order of magnitude, and
// a figure without the state does not repeat on another machine.
void SetPageCache(benchmark::State& state, const std::string& path) {
  const bool cold = state.range(1) != 0;
  state.SetLabel(cold ? "page cache cold" : "page cache warm");
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return;
  if (cold) {
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  } else {
    std::vector<char> block(1 << 20);
    while (read(fd, block.data(), block.size()) > 0) {
    }
  }
  close(fd);
}

// Before each timed iteration when cold (the timer paused).
void DropIfCold(benchmark::State& state, const std::string& path) {
  if (state.range(1) == 0) return;
  state.PauseTiming();
  SetPageCache(state, path);
  state.ResumeTiming();
}

void PlainRead(benchmark::State& state) {
  const std::string path = SpiralPicture(static_cast<int>(state.range(0)));
  SetPageCache(state, path);
  std::vector<char> buffer;
  for (auto _ : state) {
    DropIfCold(state, path);
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    buffer.resize(static_cast<size_t>(in.tellg()));
    in.seekg(0);
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    benchmark::DoNotOptimize(buffer.data());
  }
}
BENCHMARK(PlainRead)->ArgsProduct({{4000, 10000}, {0, 1}})->Unit(benchmark::kMillisecond);

// The same read into memory just allocated, as any loader that keeps the
// previous picture until the new one is in must do: the system clears each
// new page on first touch.
void PlainReadIntoNewMemory(benchmark::State& state) {
  const std::string path = SpiralPicture(static_cast<int>(state.range(0)));
  SetPageCache(state, path);
  for (auto _ : state) {
    DropIfCold(state, path);
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const auto size = static_cast<size_t>(in.tellg());
    in.seekg(0);
    char* buffer = new char[size];
    in.read(buffer, static_cast<std::streamsize>(size));
    benchmark::DoNotOptimize(buffer);
    delete[] buffer;
  }
}
BENCHMARK(PlainReadIntoNewMemory)
    ->ArgsProduct({{4000, 10000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

void LoadGrayAndRebuild(benchmark::State& state) {
  const std::string path = SpiralPicture(static_cast<int>(state.range(0)));
  SetPageCache(state, path);
  for (auto _ : state) {
    DropIfCold(state, path);
    benchmark::DoNotOptimize(LoadBmp(path.c_str(), nullptr));
  }
  ResetDocument();
}
BENCHMARK(LoadGrayAndRebuild)->ArgsProduct({{4000, 10000}, {0, 1}})->Unit(benchmark::kMillisecond);

// The square corner circles until the chain is full.
void TraceToCapacity(benchmark::State& state) {
  ResetDocument();
  static unsigned char raster[10 * 10] = {};
  for (auto [x, y] : {std::pair{1, 1}, {2, 1}, {3, 1}, {3, 2}, {3, 3}}) raster[y * 10 + x] = 1;
  app.grayRaster = raster;
  app.imageWidth = app.imageHeight = 10;
  for (auto _ : state) {
    app.chainLength = 0;
    benchmark::DoNotOptimize(TraceLine());
  }
  app.grayRaster = nullptr;
  ResetDocument();
}
BENCHMARK(TraceToCapacity)->Unit(benchmark::kMillisecond);

std::vector<ChainCode> SpiralChain(int n) {
  // Codes of a digital spiral: runs of growing length turning left.
  std::vector<ChainCode> codes;
  const ChainCode turn[4] = {5, 7, 1, 3};
  for (int run = 1; static_cast<int>(codes.size()) < n; ++run) {
    for (int i = 0; i < run && static_cast<int>(codes.size()) < n; ++i) {
      codes.push_back(turn[run % 4]);
    }
  }
  return codes;
}

using Simplifier = int (*)(const ChainCode*, int32_t, int32_t, int, double, int, Point*, int,
                           bool*);

void Simplify(benchmark::State& state, Simplifier simplify, std::vector<ChainCode> codes,
              double epsilon) {
  static Point out[kCriticalCapacity];
  for (auto _ : state) {
    benchmark::DoNotOptimize(simplify(codes.data(), 0, 0, static_cast<int>(codes.size()), epsilon,
                                      1, out, kCriticalCapacity, nullptr));
  }
}

// Each case for the program's simplifier and, beside it, the straightforward
// one it must agree with.
const std::vector<ChainCode> kSpiral = SpiralChain(100000);
const std::vector<ChainCode> kStraight(100000, 5);
std::vector<ChainCode> GentleCurve(int n) {
  // The slope rises by one step in 2000 over the whole chain.
  std::vector<ChainCode> codes;
  int64_t error = 0;
  for (int i = 0; i < n; ++i) {
    error += i / 2000;
    codes.push_back(error >= n / 50 ? (error -= n / 50, 4) : 5);
  }
  return codes;
}
const std::vector<ChainCode> kGentle = GentleCurve(100000);

// Registers Simplify/NAME and, beside it, Simplify/NAME_straightforward;
// a slow straightforward case runs once.
bool RegisterSimplify(const char* name, const std::vector<ChainCode>& codes, double epsilon,
                      bool slowStraightforward) {
  const std::string base = std::string("Simplify/") + name;
  benchmark::RegisterBenchmark(base.c_str(), Simplify, SimplifyChain, codes, epsilon)
      ->Unit(benchmark::kMillisecond);
  auto* plain = benchmark::RegisterBenchmark((base + "_straightforward").c_str(), Simplify,
                                             SimplifyChainStraightforward, codes, epsilon)
                    ->Unit(benchmark::kMillisecond);
  if (slowStraightforward) plain->Iterations(1);
  return true;
}

const bool kSimplifyCases = RegisterSimplify("spiral_typical", kSpiral, 1.0, false) &&
                            RegisterSimplify("straight_worst", kStraight, 1.0, true) &&
                            RegisterSimplify("gentle_curve", kGentle, 1.0, true) &&
                            RegisterSimplify("spiral_epsilon_1000", kSpiral, 1000.0, true);

}  // namespace

namespace {

// Debian builds Google Benchmark without NDEBUG, so its console reporter
// warns that the library "was built as DEBUG". That concerns the library's
// own checks, not the code measured here (built with -O3 -DNDEBUG): this
// reporter says so instead of the warning.
class Reporter : public benchmark::ConsoleReporter {
 public:
  Reporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_None) {}
  bool ReportContext(const Context& context) override {
    std::fprintf(stderr,
                 "%d cores at %.0f MHz; the measured code is optimised (-O3, NDEBUG); "
                 "Google Benchmark is Debian's build (its own checks on)\n",
                 context.cpu_info.num_cpus, context.cpu_info.cycles_per_second / 1e6);
    return true;
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
