// The exporters: one drawing (size and strokes) as SVG, DXF, CSV or JSON,
// for both modes of the command line.
#pragma once

#include <string>
#include <vector>

#include "cli/real_size.h"
#include "document/app_state.h"
#include "drawing/drawing.h"

// What one run of the command-line program found, beside the strokes.
struct RunSummary {
  std::string source;           // the input file as given
  std::string tolerance;        // epsilon as a decimal with three places
  double epsilon = 1;           // the same in pixels
  std::string ink;              // "dark" or "light"; empty in the single-line mode
  int threshold = 0;            // the ink's luminance threshold
  bool localThreshold = false;  // the threshold is against the paper around
  RealSize size;                // the resolution and the outputs' unit
  bool curves = false;          // the strokes are lines and arcs (--curves)
  // The single-line mode's own record: the window program's run.
  bool singleLine = false;
  int emitPrevious = 1;  // 1: the menu's "Licz", 0: the break pixels
  int report = 0;        // RunVectorization's report bits
  int chainLength = 0;
  Point start = {0, 0};
};

// A row of pixels drawn under the strokes by --svg-pixels.
struct PixelRun {
  int32_t x, y, length;
};

// Each writes through a temporary file beside path, which replaces path
// only when complete; false when it cannot.

// The picture's size as the view box, its real size as width and height
// (in pixels when unknown); one path per stroke through pixel centres, arcs
// as A, Z on closed ones; underlay (when given) in green beneath.
bool WriteSvg(const std::string& path, const Drawing& drawing, const RunSummary& run,
              const std::vector<PixelRun>* underlay);

// ASCII DXF (R12), one POLYLINE per stroke, closed flag on loops, arcs as
// vertex bulges; in the run's unit ($INSUNITS), y upwards: pixel (x, y) is
// (x, height - 1 - y) pixels.
bool WriteDxf(const std::string& path, const Drawing& drawing, const RunSummary& run);

// stroke,index,x,y rows (pixels; with curves a bulge column) after '#'
// lines with the run's details, the unit and resolution among them.
bool WriteCsv(const std::string& path, const Drawing& drawing, const RunSummary& run);

// The run's details and the strokes as one JSON object, points in pixels;
// with curves each stroke's segments with their kind, arc centre and radius.
bool WriteJson(const std::string& path, const Drawing& drawing, const RunSummary& run);

// The report bits as words: "no-start", "chain-cut", "points-cut".
std::string ReportWords(int report, const char* separator);
