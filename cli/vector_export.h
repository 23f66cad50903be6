#pragma once

#include <string>

// What one run of the command-line program produced, beside the document.
struct RunSummary {
  std::string source;     // the input file as given
  std::string tolerance;  // epsilon as a decimal with three places
  int emitPrevious;       // 1: the menu's "Licz", 0: the break pixels
  int report;             // RunVectorization's report bits
  std::string ink;        // "dark" or "light"; empty when the window's reader decided
  int threshold = 0;      // the ink's luminance threshold
};

// Each writes the current document's result to path (through a temporary
// file beside it, replaced only when complete); false when it cannot.

// The picture's size as the view box, the polyline through the critical
// points at pixel centres and, with tracedPixels, the traced path's pixels
// underneath.
bool WriteSvg(const std::string& path, const RunSummary& run, bool tracedPixels);

// ASCII DXF (R12) with one POLYLINE through the critical points; y grows
// upwards there, so pixel (x, y) becomes (x, height - 1 - y).
bool WriteDxf(const std::string& path, const RunSummary& run);

// The critical points as index,x,y rows after '#' lines with the run's
// details.
bool WriteCsv(const std::string& path, const RunSummary& run);

// The run's details and the critical points as one JSON object.
bool WriteJson(const std::string& path, const RunSummary& run);

// The report bits as words: "no-start", "chain-cut", "points-cut".
std::string ReportWords(int report, const char* separator);
