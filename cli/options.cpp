#include "cli/options.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unordered_map>

#include "cli/messages.h"

namespace {

constexpr char kUsage[] =
    N_("Usage: kwindra-cli [options] picture...\n"
       "Vectorizes each picture (PNG, JPEG, TIFF, BMP, WebP, PBM/PGM/PPM): the ink\n"
       "is told from the paper around it (scans and photos in uneven light alike),\n"
       "the strokes are thinned to their centrelines, split at junctions and\n"
       "simplified; every centreline point of a stroke lies within the tolerance\n"
       "of its polyline (or, with --curves, of its lines and arcs). With no output\n"
       "chosen, the SVG is written beside each picture.\n"
       "\n"
       "  -e, --epsilon PIXELS   tolerance in pixels, to 0.001 (default 1)\n"
       "      --ink KIND         auto, dark or light: dark ink, light ink, or (auto)\n"
       "                         whichever stands out from the paper (default auto)\n"
       "      --threshold LEVEL  auto (default): against the paper around each pixel;\n"
       "                         otsu, or 0 to 255: one threshold for the whole\n"
       "                         picture, light ink above it, dark ink at or below\n"
       "      --max-pixels N     larger pictures are refused (default 1000000000)\n"
       "      --min-length N     drops specks of ink shorter than N pixels from end to\n"
       "                         end, caps included (default 3)\n"
       "      --no-order         strokes in the order found, no shorter pen-up travel\n"
       "      --single-line      exactly the window program's \"Licz\": 24-bit BMP only,\n"
       "                         everything but black is line, one line from its end\n"
       "      --break-pixels     with --single-line: critical points at the pixels that\n"
       "                         broke the fit (the command without a menu item)\n"
       "      --curves           straight segments and circular arcs rather than\n"
       "                         polylines, tangent-continuous where the line is smooth\n"
       "      --dpi N            the picture's resolution (default: as the file says)\n"
       "      --units UNIT       mm, in or px: the unit of the SVG's size and of the\n"
       "                         DXF (default mm when the resolution is known, else px)\n"
       "  -o, --output FOLDER    where the outputs go (default: beside each picture)\n"
       "      --mask             the ink as a 1-bit PNG: NAME.mask.png\n"
       "      --bmp              with --single-line: the picture as the window program\n"
       "                         saves it, NAME.kwindra.bmp\n"
       "      --svg              the strokes as SVG: NAME.svg\n"
       "      --svg-pixels       as --svg, with the ink (with --single-line: the traced\n"
       "                         pixels) under the strokes\n"
       "      --dxf              the strokes as DXF (ASCII, R12): NAME.dxf\n"
       "      --csv              the strokes' points as CSV: NAME.csv\n"
       "      --json             the run and the strokes as JSON: NAME.json\n"
       "      --gcode            G-code for a pen plotter or laser: NAME.gcode (in mm,\n"
       "                         or inches with --units in; needs the resolution)\n"
       "      --machine KIND     plotter (default: pen up G0 Z2, down G1 Z0) or laser\n"
       "                         (off M5, on M3 S1000)\n"
       "      --pen-down TEXT    the G-code line that starts drawing (or cutting)\n"
       "      --pen-up TEXT      the G-code line that stops it\n"
       "      --feed N           drawing speed in the file's unit a minute (default\n"
       "                         1000 mm, 40 in)\n"
       "      --hpgl             HPGL for pen plotters: NAME.plt (needs the resolution)\n"
       "  -j, --jobs N           cores to use (default: all): as many pictures at once,\n"
       "                         fewer pictures share the cores (--single-line takes\n"
       "                         one picture at a time)\n"
       "  -q, --quiet            no result line for each picture\n"
       "  -h, --help             this text\n"
       "  -V, --version          the program's version\n"
       "\n"
       "Exit status: 0 when all went well; 1 when a picture could not be read or\n"
       "written, held no ink or no stroke (line), or its result was cut (always told\n"
       "on stderr, also with -q); 2 for a wrong call.\n");

// Digits only, at most limit.
bool ParseCount(const std::string& text, uint64_t limit, uint64_t& value) {
  if (text.empty() || text.size() > 19) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value <= limit;
}

// A decimal number as people write it: an optional sign, digits, a point
// or a comma and more digits; no exponent, no spaces. False for anything else.
bool ParseDecimal(const std::string& text, double& value) {
  size_t i = text.size() > 0 && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  bool digits = false, separator = false;
  std::string plain = text.substr(0, i);
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      digits = true;
      plain += c;
    } else if ((c == '.' || c == ',') && !separator) {
      separator = true;
      plain += '.';
    } else {
      return false;
    }
  }
  if (!digits) return false;
  value = std::strtod(plain.c_str(), nullptr);  // digits only: the C locale's point is safe
  return true;
}

// A decimal within [low, high], else the message naming the range.
int TakeDecimal(const std::string& value, double low, double high, const char* invalid,
                const char* range, double& out) {
  double number = 0;
  if (!ParseDecimal(value, number)) return UsageError(std::string(Tr(invalid)) + value);
  if (!(number >= low && number <= high)) return UsageError(std::string(Tr(range)) + value);
  out = number;
  return -1;
}

// One option with its value, if it takes one. Returns -1 to go on, else
// the exit status.
int TakeOption(const std::string& name, const std::string& value, Options& o) {
  uint64_t n = 0;
  if (name == "-e" || name == "--epsilon") {
    // In thousandths, as the settings dialog keeps it: rounded to the
    // nearest, from 1 to the largest the dialog takes.
    double pixels = 0;
    if (!ParseDecimal(value, pixels))
      return UsageError(std::string(Tr("Invalid epsilon: ")) + value);
    const double thousandths = std::round(pixels * 1000);
    if (!(thousandths >= 1 && thousandths <= 2147483647)) {
      return UsageError(std::string(Tr("Epsilon out of range (0.001 to 2147483.647 px): ")) +
                        value);
    }
    o.thousandths = static_cast<int>(thousandths);
  } else if (name == "--dpi") {
    const int status = TakeDecimal(value, 1, 1000000, N_("Invalid resolution: "),
                                   N_("Resolution out of range (1 to 1000000 dpi): "), o.dpi);
    if (status >= 0) return status;
  } else if (name == "--feed") {
    const int status = TakeDecimal(value, 0.001, 1000000, N_("Invalid feed: "),
                                   N_("Feed out of range (0.001 to 1000000 a minute): "), o.feed);
    if (status >= 0) return status;
  } else if (name == "--units") {
    const std::pair<const char*, Unit> units[] = {
        {"mm", Unit::kMm}, {"in", Unit::kIn}, {"px", Unit::kPx}};
    const auto* unit = std::find_if(std::begin(units), std::end(units),
                                    [&](const auto& u) { return value == u.first; });
    if (unit == std::end(units))
      return UsageError(std::string(Tr("Invalid units (mm, in, px): ")) + value);
    o.unit = unit->second;
  } else if (name == "--machine") {
    if (value != "plotter" && value != "laser") {
      return UsageError(std::string(Tr("Invalid machine (plotter, laser): ")) + value);
    }
    o.laser = value == "laser";
  } else if (name == "--pen-down" || name == "--pen-up") {
    // One line of G-code: a newline would let a command slip in unseen.
    if (value.find_first_of("\r\n") != std::string::npos) {
      return UsageError(std::string(Tr("A pen command must be one line: ")) + name);
    }
    (name == "--pen-down" ? o.penDown : o.penUp) = value;
  } else if (name == "-o" || name == "--output") {
    o.output = value;
  } else if (name == "--ink") {
    if (value == "auto") {
      o.ink.kind = InkKind::kAuto;
    } else if (value == "dark") {
      o.ink.kind = InkKind::kDark;
    } else if (value == "light") {
      o.ink.kind = InkKind::kLight;
    } else {
      return UsageError(std::string(Tr("Invalid kind of ink (auto, dark, light): ")) + value);
    }
  } else if (name == "--threshold") {
    if (value == "auto") {
      o.ink.threshold = kThresholdLocal;
    } else if (value == "otsu") {
      o.ink.threshold = kThresholdOtsu;
    } else if (ParseCount(value, 255, n)) {
      o.ink.threshold = static_cast<int>(n);
    } else {
      return UsageError(std::string(Tr("Invalid threshold (auto, otsu or 0 to 255): ")) + value);
    }
  } else if (name == "--max-pixels") {
    if (!ParseCount(value, UINT64_MAX / 2, o.limits.maxPixels) || o.limits.maxPixels == 0) {
      return UsageError(std::string(Tr("Invalid number of pixels: ")) + value);
    }
  } else if (name == "--min-length") {
    if (!ParseCount(value, 1000000, n)) {
      return UsageError(std::string(Tr("Invalid length (0 to 1000000): ")) + value);
    }
    o.minLength = static_cast<int>(n);
  } else if (name == "-j" || name == "--jobs") {
    if (!ParseCount(value, 1024, n) || n == 0) {
      return UsageError(std::string(Tr("Invalid number of jobs (1 to 1024): ")) + value);
    }
    o.jobs = static_cast<int>(n);
  }
  return -1;
}

// A switch. Returns -1 to go on, 0 after --help or --version, -2 when the
// name is no switch.
int TakeSwitch(const std::string& name, Options& o) {
  if (name == "-h" || name == "--help") {
    std::fputs(Tr(kUsage), stdout);
    return 0;
  }
  if (name == "-V" || name == "--version") {
    std::printf("kwindra-cli %s\n", KWINDRA_VERSION);
    return 0;
  }
  if (name == "--no-order") {
    o.order = false;
  } else if (name == "--break-pixels") {
    o.emitPrevious = 0;
  } else if (name == "--svg-pixels") {
    o.svg = o.svgPixels = true;
  } else {
    const std::pair<const char*, bool*> flags[] = {{"--single-line", &o.singleLine},
                                                   {"--mask", &o.mask},
                                                   {"--bmp", &o.bmp},
                                                   {"--svg", &o.svg},
                                                   {"--dxf", &o.dxf},
                                                   {"--csv", &o.csv},
                                                   {"--json", &o.json},
                                                   {"--gcode", &o.gcode},
                                                   {"--hpgl", &o.hpgl},
                                                   {"--curves", &o.curves},
                                                   {"-q", &o.quiet},
                                                   {"--quiet", &o.quiet}};
    const auto* flag = std::find_if(std::begin(flags), std::end(flags),
                                    [&](const auto& f) { return name == f.first; });
    if (flag == std::end(flags)) return -2;
    *flag->second = true;
  }
  return -1;
}

bool TakesValue(const std::string& name) {
  for (const char* n :
       {"-e", "--epsilon", "-o", "--output", "--ink", "--threshold", "--max-pixels", "--min-length",
        "-j", "--jobs", "--dpi", "--units", "--feed", "--machine", "--pen-down", "--pen-up"}) {
    if (name == n) return true;
  }
  return false;
}

}  // namespace

int UsageError(const std::string& message) {
  std::fprintf(stderr, "kwindra-cli: %s\n%s\n", message.c_str(), Tr("See: kwindra-cli --help"));
  return kExitUsage;
}

std::string OutputPath(const Options& options, const std::string& input, const char* suffix) {
  const std::filesystem::path in(input);
  std::string stem = in.filename().string();
  const size_t dot = stem.rfind('.');
  if (dot != std::string::npos && dot > 0 && !options.clashing.count(input)) stem.resize(dot);
  const std::filesystem::path folder =
      options.output.empty() ? in.parent_path() : std::filesystem::path(options.output);
  return (folder / (stem + suffix)).string();
}

void FindClashingNames(Options& options) {
  std::unordered_map<std::string, std::vector<std::string>> byOutput;
  for (const std::string& input : options.files)
    byOutput[OutputPath(options, input, "")].push_back(input);
  for (const auto& [output, inputs] : byOutput) {
    if (inputs.size() > 1) options.clashing.insert(inputs.begin(), inputs.end());
  }
}

std::string ToleranceText(int thousandths) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%d.%03d", thousandths / 1000, thousandths % 1000);
  return buffer;
}

int ParseOptions(int argc, char** argv, Options& options) {
  bool onlyFiles = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
      options.files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyFiles = true;
      continue;
    }
    std::string name = arg, value;
    const size_t equals = arg.find('=');
    const bool inlineValue = arg.rfind("--", 0) == 0 && equals != std::string::npos;
    if (inlineValue) name = arg.substr(0, equals), value = arg.substr(equals + 1);
    if (TakesValue(name)) {
      if (!inlineValue) {
        if (i + 1 >= argc) return UsageError(std::string(Tr("Missing value of option ")) + name);
        value = argv[++i];
      }
      const int status = TakeOption(name, value, options);
      if (status >= 0) return status;
      continue;
    }
    const int status = inlineValue ? -2 : TakeSwitch(name, options);
    if (status == -2) return UsageError(std::string(Tr("Unknown option: ")) + arg);
    if (status >= 0) return status;
  }
  if (options.files.empty()) return UsageError(Tr("No picture given"));
  if ((options.bmp || options.emitPrevious == 0) && !options.singleLine) {
    return UsageError(Tr("--bmp and --break-pixels work only with --single-line"));
  }
  if (options.singleLine && (options.curves || options.gcode || options.hpgl)) {
    return UsageError(Tr("--curves, --gcode and --hpgl work only without --single-line"));
  }
  const Options& o = options;
  if (!o.mask && !o.bmp && !o.svg && !o.dxf && !o.csv && !o.json && !o.gcode && !o.hpgl &&
      !o.singleLine) {
    options.svg = options.defaultSvg = true;
  }
  return -1;
}
