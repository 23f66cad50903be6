#include "cli/options.h"

#include <algorithm>
#include <cstdio>
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
       "of its polyline.\n"
       "\n"
       "  -e, --epsilon PIXELS   tolerance in pixels, to 0.001 (default 1)\n"
       "      --ink KIND         auto, dark or light: dark ink, light ink, or (auto)\n"
       "                         whichever stands out from the paper (default auto)\n"
       "      --threshold LEVEL  auto (default): against the paper around each pixel;\n"
       "                         otsu, or 0 to 255: one threshold for the whole\n"
       "                         picture, light ink above it, dark ink at or below\n"
       "      --max-pixels N     larger pictures are refused (default 1000000000)\n"
       "      --min-length N     drops specks whose centreline is shorter than N pixels\n"
       "                         (default 3)\n"
       "      --no-order         strokes in the order found, no shorter pen-up travel\n"
       "      --single-line      exactly the window program's \"Licz\": 24-bit BMP only,\n"
       "                         everything but black is line, one line from its end\n"
       "      --break-pixels     with --single-line: critical points at the pixels that\n"
       "                         broke the fit (the command without a menu item)\n"
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
       "  -j, --jobs N           pictures at once (default: one a core; --single-line\n"
       "                         takes one at a time)\n"
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

// A tolerance in pixels as thousandths, the settings dialog's unit: digits
// with a decimal point or comma, rounded to the nearest thousandth; it must
// come out from 1 to 2147483647 thousandths, as the dialog accepts.
bool ParseTolerance(const std::string& text, int& thousandths, bool& positive) {
  uint64_t whole = 0;
  size_t i = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    whole = whole * 10 + (text[i] - '0');
    if (whole > 3000000) return positive = true, false;
  }
  const bool hadDigits = i > 0;
  uint64_t fraction = 0;  // in ten-thousandths, for the rounding
  if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
    ++i;
    int places = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++places) {
      if (places < 4) fraction = fraction * 10 + (text[i] - '0');
    }
    for (; places < 4; ++places) fraction *= 10;
    if (!hadDigits && places == 0) return positive = true, false;
  } else if (!hadDigits) {
    return positive = true, false;
  }
  if (i != text.size()) return positive = true, false;
  const uint64_t value = whole * 1000 + (fraction + 5) / 10;
  positive = value >= 1 && value <= 2147483647;
  if (!positive) return false;
  thousandths = static_cast<int>(value);
  return true;
}

// One option with its value, if it takes one. Returns -1 to go on, else
// the exit status.
int TakeOption(const std::string& name, const std::string& value, Options& o) {
  uint64_t n = 0;
  if (name == "-e" || name == "--epsilon") {
    bool positive = true;
    if (!ParseTolerance(value, o.thousandths, positive)) {
      return positive ? UsageError(std::string(Tr("Invalid epsilon: ")) + value)
                      : UsageError(Tr("Epsilon must be positive"));
    }
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
  for (const char* n : {"-e", "--epsilon", "-o", "--output", "--ink", "--threshold", "--max-pixels",
                        "--min-length", "-j", "--jobs"}) {
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
  return -1;
}
