// The command-line vectorizer: the window program's reader, tracer and
// simplifier over any number of BMP files, with the rendition as BMP and the
// polyline as SVG, DXF, CSV or JSON.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/console_services.h"
#include "cli/terminal_text.h"
#include "cli/vector_export.h"
#include "document/app_state.h"
#include "document/bmp_reader.h"
#include "document/bmp_writer.h"
#include "document/display_image.h"
#include "document/texts.h"
#include "vectorize/chain_simplifier.h"
#include "vectorize/line_tracer.h"

namespace {

constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

constexpr char kUsage[] =
    "Użycie: kwindra-cli [opcje] rysunek.bmp...\n"
    "Wektoryzuje linię z każdego 24-bitowego rysunku BMP tak jak polecenie \"Licz\".\n"
    "\n"
    "  -e, --epsilon PIKSELE  tolerancja w pikselach, z dokładnością do 0,001 (domyślnie 1)\n"
    "      --break-pixels     punkty krytyczne w pikselach, które przerwały dopasowanie\n"
    "                         (polecenie bez pozycji w menu) zamiast w poprzednich\n"
    "  -o, --output KATALOG   gdzie zapisać wyniki (domyślnie obok każdego rysunku)\n"
    "      --bmp              obrazek jak zapisany z okna programu: NAZWA.kwindra.bmp\n"
    "      --svg              łamana w SVG: NAZWA.svg\n"
    "      --svg-pixels       jak --svg, z prześledzonymi pikselami pod łamaną\n"
    "      --dxf              łamana w DXF (ASCII, R12): NAZWA.dxf\n"
    "      --csv              punkty krytyczne w CSV: NAZWA.csv\n"
    "      --json             przebieg i punkty krytyczne w JSON: NAZWA.json\n"
    "  -q, --quiet            bez wiersza wyniku dla każdego pliku\n"
    "  -h, --help             ten opis\n"
    "\n"
    "Kod wyjścia: 0 gdy wszystko się udało, 1 gdy któregoś pliku nie dało się\n"
    "przeczytać lub zapisać, 2 przy błędnym wywołaniu.\n";
constexpr char kTextNotBmp[] = "To nie jest plik BMP albo nie da się go otworzyć";
constexpr char kTextBadEpsilon[] = "Niepoprawny epsylon: ";
constexpr char kTextUnknownOption[] = "Nieznana opcja: ";
constexpr char kTextMissingValue[] = "Brak wartości opcji ";
constexpr char kTextNoFiles[] = "Nie podano żadnego rysunku";
constexpr char kTextNoFolder[] = "Nie można utworzyć katalogu: ";
constexpr char kTextSummary[] = "%d x %d, łańcuch %d, początek (%d, %d), punkty krytyczne %d";

struct Options {
  int thousandths = 1000;
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
  return -1;
}

// Where an output of input goes: the output folder or the input's own, the
// input's name without ".bmp", then suffix.
std::string OutputPath(const Options& options, const std::string& input, const char* suffix) {
  const std::filesystem::path in(input);
  std::string stem = in.filename().string();
  if (stem.size() > 4 && strcasecmp(stem.c_str() + stem.size() - 4, ".bmp") == 0) {
    stem.resize(stem.size() - 4);
  }
  const std::filesystem::path folder =
      options.output.empty() ? in.parent_path() : std::filesystem::path(options.output);
  return (folder / (stem + suffix)).string();
}

std::string Complaint(const std::string& subject, const char* cp1250) {
  return subject + ": " + Utf8FromCp1250(cp1250);
}

// Loads, vectorizes and writes the outputs of one input. Fills the result
// line, or the complaints (UTF-8) when any of it failed.
void ProcessFile(const Options& options, const std::string& input, std::string& line,
                 std::vector<std::string>& complaints) {
  ResetDocument();
  app.epsilon = options.thousandths == 1000 ? 1.0 : options.thousandths * 0.001;
  TakeShownMessages();
  if (LoadBmp(input.c_str(), nullptr) != 1) {
    const std::vector<std::string> messages = TakeShownMessages();
    if (messages.empty()) complaints.push_back(Complaint(input, kTextNotBmp));
    for (const std::string& message : messages) complaints.push_back(input + ": " + message);
    return;
  }
  RunSummary run{input, ToleranceText(options.thousandths), options.emitPrevious, 0};
  run.report = RunVectorization(options.emitPrevious);
  BuildDisplayImage(nullptr);

  const auto write = [&](bool wanted, const char* suffix, auto writer) {
    if (!wanted) return;
    const std::string path = OutputPath(options, input, suffix);
    if (!writer(path)) complaints.push_back(Complaint(path, kTextWriteError));
    TakeShownMessages();  // the writer's own message, told above
  };
  write(options.bmp, ".kwindra.bmp",
        [](const std::string& path) { return SaveBmp(path.c_str(), nullptr) == 1; });
  write(options.svg, ".svg",
        [&](const std::string& path) { return WriteSvg(path, run, options.svgPixels); });
  write(options.dxf, ".dxf", [&](const std::string& path) { return WriteDxf(path, run); });
  write(options.csv, ".csv", [&](const std::string& path) { return WriteCsv(path, run); });
  write(options.json, ".json", [&](const std::string& path) { return WriteJson(path, run); });

  char summary[256];
  std::snprintf(summary, sizeof summary, kTextSummary, app.imageWidth, app.imageHeight,
                app.chainLength, app.chainStart.x, app.chainStart.y, app.criticalCount);
  line = input + ": " + Utf8FromCp1250(summary);
  const char* reports[] = {kTextNoLineEnd, kTextChainCut, kTextPointsCut};
  const int bits[] = {kTraceNoStart, kTraceChainCut, kSimplifyPointsCut};
  for (int r = 0; r < 3; ++r) {
    if (run.report & bits[r]) line += "; " + Utf8FromCp1250(reports[r]);
  }
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
