// The command-line vectorizer: pictures of any common format, their ink
// decided by a threshold, thinned to centreline strokes and simplified by
// the window program's simplifier (or, with --single-line, exactly the
// window program's "Licz" on a BMP), written as SVG, DXF, CSV or JSON.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/console_services.h"
#include "cli/mask_export.h"
#include "cli/terminal_text.h"
#include "cli/vector_export.h"
#include "decode/picture_decoder.h"
#include "document/allocation.h"
#include "document/app_state.h"
#include "document/bmp_reader.h"
#include "document/bmp_writer.h"
#include "document/display_image.h"
#include "document/texts.h"
#include "drawing/drawing_vectorizer.h"
#include "ink/ink_mask.h"
#include "vectorize/chain_simplifier.h"
#include "vectorize/line_tracer.h"

namespace {

constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

constexpr char kUsage[] =
    "Użycie: kwindra-cli [opcje] rysunek...\n"
    "Wektoryzuje każdy rysunek (PNG, JPEG, TIFF, BMP, PBM/PGM/PPM): tusz oddziela\n"
    "próg jasności, kreski są ścieniane do osi, dzielone na węzłach i upraszczane;\n"
    "każdy punkt osi kreski leży w granicy tolerancji od jej łamanej.\n"
    "\n"
    "  -e, --epsilon PIKSELE  tolerancja w pikselach, z dokładnością do 0,001 (domyślnie 1)\n"
    "      --ink RODZAJ       auto, dark albo light: tusz ciemny, jasny, albo (auto)\n"
    "                         mniejsza z dwóch klas jasności (domyślnie auto)\n"
    "      --threshold PRÓG   0 do 255 albo otsu (domyślnie): jasny tusz jest powyżej\n"
    "                         progu, ciemny na nim lub poniżej\n"
    "      --max-pixels N     większe rysunki są odrzucane (domyślnie 1000000000)\n"
    "      --min-length N     pomija plamki o osi krótszej niż N pikseli (domyślnie 3)\n"
    "      --no-order         kreski w kolejności znalezienia, bez skracania przejazdów\n"
    "      --single-line      dokładnie polecenie \"Licz\" okna programu: tylko\n"
    "                         24-bitowe BMP, linią jest wszystko poza czernią\n"
    "      --break-pixels     punkty krytyczne w pikselach, które przerwały dopasowanie\n"
    "                         (polecenie bez pozycji w menu) zamiast w poprzednich\n"
    "  -o, --output KATALOG   gdzie zapisać wyniki (domyślnie obok każdego rysunku)\n"
    "      --mask             maska tuszu jako 1-bitowy PNG: NAZWA.mask.png\n"
    "      --bmp              z --single-line: obrazek jak zapisany z okna programu,\n"
    "                         NAZWA.kwindra.bmp\n"
    "      --svg              kreski w SVG: NAZWA.svg\n"
    "      --svg-pixels       jak --svg, z tuszem (z --single-line: ze śledzonymi\n"
    "                         pikselami) pod kreskami\n"
    "      --dxf              kreski w DXF (ASCII, R12): NAZWA.dxf\n"
    "      --csv              punkty kresek w CSV: NAZWA.csv\n"
    "      --json             przebieg i kreski w JSON: NAZWA.json\n"
    "  -q, --quiet            bez wiersza wyniku dla każdego pliku\n"
    "  -h, --help             ten opis\n"
    "\n"
    "Kod wyjścia: 0 gdy wszystko się udało; 1 gdy któregoś pliku nie dało się\n"
    "przeczytać lub zapisać, nie miał tuszu ani kresek (linii) albo wynik przycięto\n"
    "(zawsze zgłaszane na stderr, także z -q); 2 przy błędnym wywołaniu.\n";
constexpr char kTextNotBmp[] = "To nie jest plik BMP albo nie da się go otworzyć";
constexpr char kTextBadEpsilon[] = "Niepoprawny epsylon: ";
constexpr char kTextUnknownOption[] = "Nieznana opcja: ";
constexpr char kTextMissingValue[] = "Brak wartości opcji ";
constexpr char kTextNoFiles[] = "Nie podano żadnego rysunku";
constexpr char kTextNoFolder[] = "Nie można utworzyć katalogu: ";
constexpr char kTextSummary[] = "%d x %d, łańcuch %d, początek (%d, %d), punkty krytyczne %d";
constexpr char kTextDrawingSummary[] =
    "%d x %d, tusz %s (próg %d), kreski %d (zamknięte %d), punkty %d, przejazdy %.1f px";
constexpr char kTextDropped[] = ", pominięte plamki %lld, obcięte odgałęzienia %lld";
constexpr char kTextNoStrokes[] = "Tusz jest, ale nie dał żadnej kreski";
constexpr char kTextStageDistances[] = "odległości od tła";
constexpr char kTextStageThinning[] = "ścienianie";
constexpr char kTextStageStrokes[] = "kreski";
constexpr char kTextStageSimplifying[] = "upraszczanie";
constexpr char kTextStageOrdering[] = "kolejność kresek";
constexpr char kTextDark[] = "ciemny";
constexpr char kTextLight[] = "jasny";
constexpr char kTextBadInk[] = "Niepoprawny rodzaj tuszu (auto, dark, light): ";
constexpr char kTextBadThreshold[] = "Niepoprawny próg (0 do 255 albo otsu): ";
constexpr char kTextBadMaxPixels[] = "Niepoprawna liczba pikseli: ";
constexpr char kTextBadMinLength[] = "Niepoprawna długość (0 do 1000000): ";
constexpr char kTextBmpNeedsSingleLine[] = "--bmp działa tylko z --single-line";
constexpr char kTextCannotOpen[] = "Nie można otworzyć pliku: ";
constexpr char kTextUnknownFormat[] =
    "Nieznany format rysunku (czytane są PNG, JPEG, TIFF, BMP i PBM/PGM/PPM)";
constexpr char kTextDamaged[] = "Uszkodzony plik ";
constexpr char kTextUnsupported[] = "Nieobsługiwany rodzaj pliku ";
constexpr char kTextTooLarge[] =
    "Rysunek %llu x %llu ma więcej pikseli niż limit %llu (--max-pixels)";
constexpr char kTextNoMemory[] = "Brak pamięci na rysunek %llu x %llu";
constexpr char kTextNoInk[] =
    "Brak tuszu: próg %d nie oddziela dwóch klas jasności (cały rysunek jest jednego rodzaju)";
constexpr char kTextNoInkAtAll[] = "Brak tuszu: cały rysunek ma jedną jasność";

struct Options {
  int thousandths = 1000;
  bool singleLine = false;
  InkOptions ink;
  DecodeLimits limits;
  bool mask = false;
  int minLength = 3;
  bool order = true;
  int emitPrevious = 1;
  std::string output;
  bool bmp = false, svg = false, svgPixels = false, dxf = false, csv = false, json = false;
  bool quiet = false;
  std::vector<std::string> files;
};

void PrintText(std::FILE* stream, const std::string& cp1250) {
  std::fputs(Utf8FromCp1250(cp1250.c_str()).c_str(), stream);
}

int UsageError(const std::string& cp1250, const std::string& detail = "") {
  std::fputs("kwindra-cli: ", stderr);
  PrintText(stderr, cp1250);
  std::fputs(detail.c_str(), stderr);
  std::fputs("\n", stderr);
  PrintText(stderr, "Zobacz: kwindra-cli --help\n");
  return kExitUsage;
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

std::string ToleranceText(int thousandths) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%d.%03d", thousandths / 1000, thousandths % 1000);
  return buffer;
}

// Parses the command line; returns -1 to go on, else the exit status.
int ParseOptions(int argc, char** argv, Options& options) {
  bool onlyFiles = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
      options.files.push_back(arg);
      continue;
    }
    std::string name = arg, value;
    bool inlineValue = false;
    if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
      name = arg.substr(0, arg.find('='));
      value = arg.substr(arg.find('=') + 1);
      inlineValue = true;
    }
    const auto takeValue = [&]() {
      if (inlineValue) return true;
      if (i + 1 >= argc) return false;
      value = argv[++i];
      return true;
    };
    if (name == "--") {
      onlyFiles = true;
    } else if (name == "-h" || name == "--help") {
      PrintText(stdout, kUsage);
      return 0;
    } else if (name == "-e" || name == "--epsilon") {
      if (!takeValue()) return UsageError(kTextMissingValue, name);
      bool positive = true;
      if (!ParseTolerance(value, options.thousandths, positive)) {
        return positive ? UsageError(kTextBadEpsilon, value) : UsageError(kTextEpsilonPositive);
      }
    } else if (name == "-o" || name == "--output") {
      if (!takeValue()) return UsageError(kTextMissingValue, name);
      options.output = value;
    } else if (name == "--single-line") {
      options.singleLine = true;
    } else if (name == "--ink") {
      if (!takeValue()) return UsageError(kTextMissingValue, name);
      if (value == "auto") {
        options.ink.kind = InkKind::kAuto;
      } else if (value == "dark") {
        options.ink.kind = InkKind::kDark;
      } else if (value == "light") {
        options.ink.kind = InkKind::kLight;
      } else {
        return UsageError(kTextBadInk, value);
      }
    } else if (name == "--threshold") {
      if (!takeValue()) return UsageError(kTextMissingValue, name);
      uint64_t level = 0;
      if (value == "otsu") {
        options.ink.threshold = -1;
      } else if (ParseCount(value, 255, level)) {
        options.ink.threshold = static_cast<int>(level);
      } else {
        return UsageError(kTextBadThreshold, value);
      }
    } else if (name == "--max-pixels") {
      if (!takeValue()) return UsageError(kTextMissingValue, name);
      if (!ParseCount(value, UINT64_MAX / 2, options.limits.maxPixels) ||
          options.limits.maxPixels == 0) {
        return UsageError(kTextBadMaxPixels, value);
      }
    } else if (name == "--min-length") {
      if (!takeValue()) return UsageError(kTextMissingValue, name);
      uint64_t length = 0;
      if (!ParseCount(value, 1000000, length)) return UsageError(kTextBadMinLength, value);
      options.minLength = static_cast<int>(length);
    } else if (name == "--no-order") {
      options.order = false;
    } else if (name == "--mask") {
      options.mask = true;
    } else if (name == "--break-pixels") {
      options.emitPrevious = 0;
    } else if (name == "--bmp") {
      options.bmp = true;
    } else if (name == "--svg") {
      options.svg = true;
    } else if (name == "--svg-pixels") {
      options.svg = options.svgPixels = true;
    } else if (name == "--dxf") {
      options.dxf = true;
    } else if (name == "--csv") {
      options.csv = true;
    } else if (name == "--json") {
      options.json = true;
    } else if (name == "-q" || name == "--quiet") {
      options.quiet = true;
    } else {
      return UsageError(kTextUnknownOption, arg);
    }
  }
  if (options.files.empty()) return UsageError(kTextNoFiles);
  if (options.bmp && !options.singleLine) return UsageError(kTextBmpNeedsSingleLine);
  return -1;
}

// Where an output of input goes: the output folder or the input's own, the
// input's name without its extension, then suffix.
std::string OutputPath(const Options& options, const std::string& input, const char* suffix) {
  const std::filesystem::path in(input);
  std::string stem = in.filename().string();
  const size_t dot = stem.rfind('.');
  if (dot != std::string::npos && dot > 0) stem.resize(dot);
  const std::filesystem::path folder =
      options.output.empty() ? in.parent_path() : std::filesystem::path(options.output);
  return (folder / (stem + suffix)).string();
}

std::string Complaint(const std::string& subject, const char* cp1250) {
  return subject + ": " + Utf8FromCp1250(cp1250);
}

std::string Formatted(const char* cp1250, auto... values) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, cp1250, values...);
  return Utf8FromCp1250(buffer);
}

// Why a picture could not be decoded, in the user's words.
std::string DecodeComplaint(const DecodeResult& decoded, uint64_t maxPixels) {
  const unsigned long long w = decoded.width, h = decoded.height;
  const std::string detail = decoded.detail.empty() ? "" : ": " + decoded.detail;
  switch (decoded.status) {
    case DecodeStatus::kCannotOpen:
      return Utf8FromCp1250(kTextCannotOpen) + decoded.detail;
    case DecodeStatus::kUnknownFormat:
      return Utf8FromCp1250(kTextUnknownFormat);
    case DecodeStatus::kDamaged:
      return Utf8FromCp1250(kTextDamaged) + decoded.format + detail;
    case DecodeStatus::kUnsupported:
      return Utf8FromCp1250(kTextUnsupported) + decoded.format + detail;
    case DecodeStatus::kTooLarge:
      return Formatted(kTextTooLarge, w, h, static_cast<unsigned long long>(maxPixels));
    case DecodeStatus::kOutOfMemory:
      return Formatted(kTextNoMemory, w, h);
    case DecodeStatus::kOk:
      break;
  }
  return "";
}

// The window program's road: its BMP reader, its line rule. Complains and
// returns false when the file was refused.
bool LoadSingleLine(const std::string& input, std::vector<std::string>& complaints) {
  TakeShownMessages();
  if (LoadBmp(input.c_str(), nullptr) == 1) return true;
  const std::vector<std::string> messages = TakeShownMessages();
  if (messages.empty()) complaints.push_back(Complaint(input, kTextNotBmp));
  for (const std::string& message : messages) complaints.push_back(input + ": " + message);
  return false;
}

// The drawing stages by name, in the user's words.
std::string StageName(const char* stage) {
  const std::string s = stage;
  if (s == "distances") return Formatted(kTextStageDistances);
  if (s == "thinning") return Formatted(kTextStageThinning);
  if (s == "strokes") return Formatted(kTextStageStrokes);
  if (s == "simplifying") return Formatted(kTextStageSimplifying);
  return Formatted(kTextStageOrdering);
}

// The rows of ink, for --svg-pixels, before the thinning takes them.
std::vector<PixelRun> InkRuns(const GrayImage& mask) {
  std::vector<PixelRun> runs;
  for (int32_t y = 0; y < mask.height; ++y) {
    const uint8_t* row = mask.Row(y);
    for (int32_t x = 0; x < mask.width;) {
      if (!row[x]) {
        ++x;
        continue;
      }
      const int32_t start = x;
      while (x < mask.width && row[x]) ++x;
      runs.push_back({start, y, x - start});
    }
  }
  return runs;
}

// The single-line result as a drawing of one stroke, and the traced
// pixels for --svg-pixels.
Drawing SingleLineDrawing(std::vector<PixelRun>& traced) {
  Drawing drawing;
  drawing.width = app.imageWidth;
  drawing.height = app.imageHeight;
  if (app.criticalCount > 0) {
    Stroke stroke;
    for (int n = 0; n < app.criticalCount; ++n) {
      stroke.points.push_back({static_cast<double>(app.criticalPoints[n].x),
                               static_cast<double>(app.criticalPoints[n].y)});
    }
    drawing.strokes.push_back(std::move(stroke));
  }
  if (app.chainLength > 0) {
    std::vector<Point> path(static_cast<size_t>(app.chainLength) + 1);
    ChainToPoints(app.chainCodes, app.chainStart.x, app.chainStart.y, app.chainLength, path.data());
    for (const Point& p : path) traced.push_back({p.x, p.y, 1});
  }
  return drawing;
}

// The window program's road. Complains and returns false when the file
// was refused or held no line.
bool RunSingleLine(const Options& options, const std::string& input, RunSummary& run,
                   Drawing& drawing, std::vector<PixelRun>& underlay,
                   std::vector<std::string>& complaints) {
  if (!LoadSingleLine(input, complaints)) return false;
  run.singleLine = true;
  run.report = RunVectorization(options.emitPrevious);
  run.chainLength = app.chainLength;
  run.start = app.chainStart;
  BuildDisplayImage(nullptr);
  drawing = SingleLineDrawing(underlay);
  return true;
}

// Any picture: decoded, its ink decided, its mask (written when asked for)
// thinned into strokes.
bool RunDrawing(const Options& options, const std::string& input, RunSummary& run, Drawing& drawing,
                std::vector<PixelRun>& underlay, std::vector<std::string>& complaints) {
  DecodeResult decoded = DecodePictureFile(input, options.limits);
  if (decoded.status != DecodeStatus::kOk) {
    complaints.push_back(input + ": " + DecodeComplaint(decoded, options.limits.maxPixels));
    return false;
  }
  GrayImage& image = decoded.image;
  const InkDecision ink = DecideInk(LuminanceHistogram(image), options.ink);
  if (!ink.found) {
    complaints.push_back(
        input + ": " +
        (ink.threshold < 0 ? Formatted(kTextNoInkAtAll) : Formatted(kTextNoInk, ink.threshold)));
    return false;
  }
  run.ink = ink.dark ? "dark" : "light";
  run.threshold = ink.threshold;
  MakeInkMask(image, ink);
  if (options.mask) {
    const std::string path = OutputPath(options, input, ".mask.png");
    if (!WriteMaskPng(path, image)) complaints.push_back(Complaint(path, kTextWriteError));
  }
  if (options.svgPixels) underlay = InkRuns(image);
  DrawingOptions drawingOptions;
  drawingOptions.epsilon = options.thousandths * 0.001;
  drawingOptions.minLength = options.minLength;
  drawingOptions.order = options.order;
  // On a terminal, a picture that takes long tells which stage it is in.
  const auto started = std::chrono::steady_clock::now();
  bool told = false;
  if (isatty(STDERR_FILENO)) {
    drawingOptions.progress = [&](const char* stage) {
      if (std::chrono::steady_clock::now() - started < std::chrono::seconds(1)) return;
      std::fprintf(stderr, "\r%s: %s...\033[K", input.c_str(), StageName(stage).c_str());
      std::fflush(stderr);
      told = true;
    };
  }
  const DrawingStatus status = VectorizeDrawing(image, drawingOptions, drawing);
  if (told) std::fputs("\r\033[K", stderr);
  if (status != DrawingStatus::kOk) {
    complaints.push_back(input + ": " +
                         Formatted(kTextNoMemory, static_cast<unsigned long long>(image.width),
                                   static_cast<unsigned long long>(image.height)));
    return false;
  }
  return true;
}

// Loads, vectorizes and writes the outputs of one input. Fills the result
// line and the complaints (UTF-8): refusals, failed writes and reports of a
// run that found no line or was cut.
void ProcessFile(const Options& options, const std::string& input, std::string& line,
                 std::vector<std::string>& complaints) {
  ResetDocument();
  app.epsilon = options.thousandths == 1000 ? 1.0 : options.thousandths * 0.001;
  RunSummary run;
  run.source = input;
  run.tolerance = ToleranceText(options.thousandths);
  run.emitPrevious = options.emitPrevious;
  Drawing drawing;
  std::vector<PixelRun> underlay;
  if (options.singleLine ? !RunSingleLine(options, input, run, drawing, underlay, complaints)
                         : !RunDrawing(options, input, run, drawing, underlay, complaints)) {
    return;
  }
  const auto write = [&](bool wanted, const char* suffix, auto writer) {
    if (!wanted) return;
    const std::string path = OutputPath(options, input, suffix);
    if (!writer(path)) complaints.push_back(Complaint(path, kTextWriteError));
    TakeShownMessages();  // the writer's own message, told above
  };
  write(options.bmp, ".kwindra.bmp",
        [](const std::string& path) { return SaveBmp(path.c_str(), nullptr) == 1; });
  write(options.svg, ".svg", [&](const std::string& path) {
    return WriteSvg(path, drawing, run, options.svgPixels ? &underlay : nullptr);
  });
  write(options.dxf, ".dxf", [&](const std::string& path) { return WriteDxf(path, drawing, run); });
  write(options.csv, ".csv", [&](const std::string& path) { return WriteCsv(path, drawing, run); });
  write(options.json, ".json",
        [&](const std::string& path) { return WriteJson(path, drawing, run); });

  if (options.singleLine) {
    line = input + ": " +
           Formatted(kTextSummary, app.imageWidth, app.imageHeight, app.chainLength,
                     app.chainStart.x, app.chainStart.y, app.criticalCount);
    const char* reports[] = {kTextNoLineEnd, kTextChainCut, kTextPointsCut};
    const int bits[] = {kTraceNoStart, kTraceChainCut, kSimplifyPointsCut};
    for (int r = 0; r < 3; ++r) {
      if (run.report & bits[r]) complaints.push_back(Complaint(input, reports[r]));
    }
    return;
  }
  size_t points = 0;
  int closed = 0;
  for (const Stroke& stroke : drawing.strokes) {
    points += stroke.points.size();
    closed += stroke.closed;
  }
  line = input + ": " +
         Formatted(kTextDrawingSummary, drawing.width, drawing.height,
                   run.ink == "dark" ? kTextDark : kTextLight, run.threshold,
                   static_cast<int>(drawing.strokes.size()), closed, static_cast<int>(points),
                   drawing.penUp);
  if (drawing.specks > 0 || drawing.spurs > 0) {
    line += Formatted(kTextDropped, static_cast<long long>(drawing.specks),
                      static_cast<long long>(drawing.spurs));
  }
  if (drawing.strokes.empty()) complaints.push_back(Complaint(input, kTextNoStrokes));
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const int parsed = ParseOptions(argc, argv, options);
  if (parsed >= 0) return parsed;
  if (!options.output.empty()) {
    std::error_code error;
    std::filesystem::create_directories(options.output, error);
    if (!std::filesystem::is_directory(options.output)) {
      return UsageError(kTextNoFolder, options.output);
    }
  }
  // A progress line on the terminal for long batches, cleared before each
  // result is printed.
  const int total = static_cast<int>(options.files.size());
  const bool progress = total >= 20 && isatty(STDERR_FILENO);
  int status = 0;
  for (int i = 0; i < total; ++i) {
    if (progress) {
      std::fprintf(stderr, "\r[%d/%d] %s\033[K", i + 1, total, options.files[i].c_str());
      std::fflush(stderr);
    }
    std::string line;
    std::vector<std::string> complaints;
    ProcessFile(options, options.files[i], line, complaints);
    if (progress) std::fputs("\r\033[K", stderr);
    if (!complaints.empty()) status = kExitRefused;
    for (const std::string& complaint : complaints) std::fprintf(stderr, "%s\n", complaint.c_str());
    if (!line.empty() && !options.quiet) std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  }
  ResetDocument();
  return status;
}
