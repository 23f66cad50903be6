// Files for machines that draw or cut: G-code (pen plotters, lasers) and
// HPGL (pen plotters), at the drawing's real size, in its stroke order.
#pragma once

#include <string>

#include "cli/vector_export.h"

struct MachineOptions {
  bool laser = false;
  std::string penDown, penUp;  // empty: the machine's defaults
  double feed = 0;             // in the file's unit a minute; 0: the default
};

// G-code in millimetres (inches when the run's unit is inches): G0 to each
// stroke's start, the pen-down line, G1 along lines and G2/G3 along arcs,
// the pen-up line. y grows upwards: pixel (x, y) is at (x, height - 1 - y)
// pixels. The run's resolution must be known.
bool WriteGcode(const std::string& path, const Drawing& drawing, const RunSummary& run,
                const MachineOptions& machine);

// HPGL: PU to each stroke's start, PD through its points in plotter units
// of 0.025 mm, arcs as chords within a tenth of the tolerance (or a
// quarter plotter unit where that is coarser). Same frame; the resolution
// must be known.
bool WriteHpgl(const std::string& path, const Drawing& drawing, const RunSummary& run);
