// The command line's options: what to read, how to decide and trace the
// ink, what to write, and how many pictures at once.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "cli/real_size.h"
#include "decode/picture_decoder.h"
#include "ink/ink_mask.h"

constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

struct Options {
  int thousandths = 1000;  // the tolerance, as the settings dialog keeps it
  bool singleLine = false;
  int emitPrevious = 1;
  InkOptions ink;
  DecodeLimits limits;
  int minLength = 3;
  bool order = true;
  int jobs = 0;     // cores to use; 0: all
  int threads = 1;  // a picture's threads: the cores left over by the pictures at once
  std::string output;
  bool mask = false, bmp = false, svg = false, svgPixels = false, dxf = false, csv = false,
       json = false, gcode = false, hpgl = false;
  bool curves = false;  // lines and arcs rather than polylines
  // No output was asked for: the SVG is written, and the result line says where.
  bool defaultSvg = false;
  double dpi = 0;  // 0: the file's
  Unit unit = Unit::kAuto;
  // G-code: the machine's pen (or laser) commands, empty for the
  // machine's defaults, and the feed in the file's unit a minute (0: default).
  bool laser = false;
  std::string penDown, penUp;
  double feed = 0;
  bool quiet = false;
  bool tellStages = false;  // a long picture tells its stage on the terminal
  std::vector<std::string> files;
  // Pictures whose names without the extension are another's too, in the
  // same output folder: their outputs keep the extension (NAME.png.svg).
  std::unordered_set<std::string> clashing;
};

// Parses the command line into options. Returns -1 to go on, else the exit
// status (after --help or --version, or a message for a wrong call).
int ParseOptions(int argc, char** argv, Options& options);

// The tolerance as a decimal with three places, "1.000".
std::string ToleranceText(int thousandths);

// Where an output of a picture goes: the output folder or the picture's
// own, its name without the extension (with it when clashing), suffix.
std::string OutputPath(const Options& options, const std::string& input, const char* suffix);

// Marks the pictures whose outputs would overwrite each other's.
void FindClashingNames(Options& options);

// A wrong call: the message on stderr and the hint; returns kExitUsage.
int UsageError(const std::string& message);
