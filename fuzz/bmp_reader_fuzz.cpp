// libFuzzer harness over the BMP reader: each input is loaded as a file;
// an accepted picture is rebuilt, traced, simplified in both modes (and
// compared with the plain fit), saved and read back, and the document's
// invariants are checked on the way.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "document/app_state.h"
#include "document/bmp_reader.h"
#include "document/bmp_writer.h"
#include "document/display_image.h"
#include "tests/recording_seam.h"
#include "tests/straightforward_simplifier.h"
#include "vectorize/chain_simplifier.h"
#include "vectorize/line_tracer.h"

namespace {

std::string Path(const char* name) {
  return "/dev/shm/kwindra-fuzz-" + std::to_string(getpid()) + "-" + name;
}

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

void CheckDocument() {
  Check(app.imageWidth > 0 && app.imageHeight > 0, "positive size");
  const uint64_t rows = RowStride(app.imageWidth) * app.imageHeight;
  Check(app.fileImageSize >= kInfoHeaderSize + rows, "file image holds the rows");
  Check(app.chainLength >= 0 && app.chainLength <= kChainCapacity, "chain capacity");
  Check(app.criticalCount >= 0 && app.criticalCount <= kCriticalCapacity, "point capacity");
  for (int n = 0; n < app.criticalCount; ++n) {
    const Point p = app.criticalPoints[n];
    Check(p.x >= 0 && p.y >= 0 && p.x < app.imageWidth && p.y < app.imageHeight, "point inside");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in = Path("in.bmp"), out = Path("out.bmp");
  std::FILE* file = std::fopen(in.c_str(), "wb");
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  ResetDocument();
  ClearRecordings();
  if (LoadBmp(in.c_str(), nullptr) == 1) {
    CheckDocument();
    const int32_t width = app.imageWidth, height = app.imageHeight;
    app.chainLength = 0;
    TraceLine();
    // Most fuzzed pictures circle a corner until the chain is full; the long
    // chains' fits are the unit tests' business, so the runs stay quick.
    if (app.chainLength > 2000) app.chainLength = 2000;
    const double tolerances[] = {0.3, 0.5, 1.0, 2.0, 1000.0};
    app.epsilon = tolerances[size % 5];
    for (int mode : {1, 0}) {
      bool cut = false;
      app.criticalCount =
          SimplifyChain(app.chainCodes, app.chainStart.x, app.chainStart.y, app.chainLength,
                        app.epsilon, mode, app.criticalPoints, kCriticalCapacity, &cut);
      CheckDocument();
      // The same fit as the plain statement of it, which is quadratic: on a
      // prefix short enough for it.
      const int prefix = app.chainLength < 400 ? app.chainLength : 400;
      Point fast[kCriticalCapacity], plain[kCriticalCapacity];
      bool fastCut = false, plainCut = false;
      const int fastCount =
          SimplifyChain(app.chainCodes, app.chainStart.x, app.chainStart.y, prefix, app.epsilon,
                        mode, fast, kCriticalCapacity, &fastCut);
      const int plainCount =
          SimplifyChainStraightforward(app.chainCodes, app.chainStart.x, app.chainStart.y, prefix,
                                       app.epsilon, mode, plain, kCriticalCapacity, &plainCut);
      Check(fastCount == plainCount && fastCut == plainCut, "same fit as the plain one");
      for (int n = 0; n < fastCount; ++n) {
        Check(plain[n].x == fast[n].x && plain[n].y == fast[n].y, "same points as the plain fit");
      }
      BuildDisplayImage(nullptr);
    }
    Check(SaveBmp(out.c_str(), nullptr) == 1, "save");
    app.criticalCount = 0;
    Check(LoadBmp(out.c_str(), nullptr) == 1, "saved file reads back");
    Check(app.imageWidth == width && app.imageHeight == height, "same size after save");
    CheckDocument();
    std::remove(out.c_str());
  }
  ResetDocument();
  std::remove(in.c_str());
  return 0;
}
