// One picture from file to outputs: decoded and thinned into strokes (or,
// with --single-line, the window program's road), its outputs written, its
// result line and complaints told in the user's language.
#include "cli/picture_job.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "cli/console_services.h"
#include "cli/machine_export.h"
#include "cli/mask_export.h"
#include "cli/messages.h"
#include "cli/vector_export.h"
#include "document/app_state.h"
#include "document/bmp_reader.h"
#include "document/bmp_writer.h"
#include "document/display_image.h"
#include "document/texts.h"
#include "drawing/drawing_vectorizer.h"
#include "vectorize/chain_simplifier.h"
#include "vectorize/line_tracer.h"

namespace {

std::string Complaint(const std::string& subject, const char* english) {
  return subject + ": " + Tr(english);
}

// Why a picture could not be decoded, in the user's words.
std::string DecodeComplaint(const DecodeResult& decoded, uint64_t maxPixels) {
  const unsigned long long w = decoded.width, h = decoded.height;
  const std::string detail = decoded.detail.empty() ? "" : ": " + decoded.detail;
  switch (decoded.status) {
    case DecodeStatus::kCannotOpen:
      return std::string(Tr("Cannot open the file: ")) + decoded.detail;
    case DecodeStatus::kUnknownFormat:
      return Tr("Unknown picture format (PNG, JPEG, TIFF, BMP, WebP and PBM/PGM/PPM are read)");
    case DecodeStatus::kDamaged:
      return std::string(Tr("Damaged file: ")) + decoded.format + detail;
    case DecodeStatus::kUnsupported:
      return std::string(Tr("Unsupported kind of file: ")) + decoded.format + detail;
    case DecodeStatus::kTooLarge:
      return Trf("The picture is %llu x %llu, more pixels than the limit %llu (--max-pixels)", w, h,
                 static_cast<unsigned long long>(maxPixels));
    case DecodeStatus::kOutOfMemory:
      return Trf("Out of memory for a picture of %llu x %llu", w, h);
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
  if (messages.empty()) {
    complaints.push_back(Complaint(input, N_("Not a BMP file, or it cannot be opened")));
  }
  for (const std::string& message : messages) complaints.push_back(input + ": " + message);
  return false;
}

// The pixels per metre a BMP's header states (0 when none), as dpi.
void BmpResolution(const std::string& input, double& dpiX, double& dpiY) {
  std::FILE* file = std::fopen(input.c_str(), "rb");
  if (!file) return;
  uint8_t head[46];
  const bool read = std::fread(head, 1, sizeof head, file) == sizeof head;
  std::fclose(file);
  const auto u32 = [&](int at) {
    return head[at] | head[at + 1] << 8 | head[at + 2] << 16 | uint32_t{head[at + 3]} << 24;
  };
  if (!read || u32(14) < 40) return;
  const double x = DotsPerInch(u32(38), 0.0254), y = DotsPerInch(u32(42), 0.0254);
  if (BelievableResolution(x, y)) dpiX = x, dpiY = y;
}

// The drawing stages by name, in the user's words.
std::string StageName(const char* stage) {
  const std::string s = stage;
  if (s == "distances") return Tr("distances from the paper");
  if (s == "thinning") return Tr("thinning");
  if (s == "strokes") return Tr("strokes");
  if (s == "simplifying") return Tr("simplifying");
  return Tr("ordering the strokes");
}

// The rows of ink, for --svg-pixels, before the thinning takes them.
std::vector<PixelRun> InkRuns(const GrayImage& mask) {
  std::vector<PixelRun> runs;
  for (int32_t y = 0; y < mask.height; ++y) {
    const uint8_t* row = mask.Row(y);
    for (int64_t x = SkipZeros(row, 0, mask.width); x < mask.width;
         x = SkipZeros(row, x, mask.width)) {
      const int64_t start = x;
      while (x < mask.width && row[x]) ++x;
      runs.push_back({static_cast<int32_t>(start), y, static_cast<int32_t>(x - start)});
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
    drawing.AddStroke(false, app.criticalPoints, app.criticalPoints + app.criticalCount);
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
  double dpiX = 0, dpiY = 0;
  BmpResolution(input, dpiX, dpiY);
  run.size = ChooseRealSize(options.dpi, options.unit, dpiX, dpiY);
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
  const InkDecision ink = DecideInkMask(image, options.ink);
  if (!ink.found) {
    complaints.push_back(
        input + ": " +
        (ink.threshold < 0 ? std::string(Tr("No ink: the whole picture has one luminance"))
         : ink.local       ? std::string(Tr("No ink: nothing stands out from the paper"))
                           : Trf("No ink: the threshold %d leaves the whole picture on one side",
                                 ink.threshold)));
    return false;
  }
  run.size = ChooseRealSize(options.dpi, options.unit, decoded.dpiX, decoded.dpiY);
  run.ink = ink.dark ? "dark" : "light";
  run.threshold = ink.threshold;
  run.localThreshold = ink.local;
  if (options.mask) {
    const std::string path = OutputPath(options, input, ".mask.png");
    if (!WriteMaskPng(path, image))
      complaints.push_back(Complaint(path, N_("Error writing the file!")));
  }
  if (options.svgPixels) underlay = InkRuns(image);
  DrawingOptions drawingOptions;
  drawingOptions.epsilon = options.thousandths * 0.001;
  drawingOptions.minLength = options.minLength;
  drawingOptions.order = options.order;
  drawingOptions.curves = options.curves;
  drawingOptions.threads = options.threads;
  // On a terminal, a picture that takes long tells which stage it is in.
  const auto started = std::chrono::steady_clock::now();
  bool told = false;
  if (options.tellStages) {
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
    const unsigned long long w = image.width, h = image.height;
    complaints.push_back(
        input + ": " +
        (status == DrawingStatus::kTooLarge
             ? Trf("The picture is %llu x %llu: the drawing mode takes up to 4294967295 pixels", w,
                   h)
             : Trf("Out of memory for a picture of %llu x %llu", w, h)));
    return false;
  }
  return true;
}

// ", 210.0 x 297.0 mm (600 dpi)", or that the resolution is unknown.
std::string RealSizeText(const Drawing& d, const RealSize& size) {
  if (size.dpi <= 0) return Tr(", resolution unknown (px)");
  std::string text;
  if (size.unit == Unit::kPx) {
    text = Trf(", %.0f dpi (px)", size.dpi);
  } else {
    const double k = size.PerPixel();
    text = size.unit == Unit::kMm
               ? Trf(", %.1f x %.1f mm (%.0f dpi)", d.width * k, d.height * k, size.dpi)
               : Trf(", %.2f x %.2f in (%.0f dpi)", d.width * k, d.height * k, size.dpi);
  }
  if (!size.square) {
    text += Trf(", pixels not square (%.0f dpi down): the width's resolution taken", size.dpiDown);
  }
  return text;
}

}  // namespace

PictureResult ProcessPicture(const Options& options, const std::string& input) {
  PictureResult result;
  std::string& line = result.line;
  std::vector<std::string>& complaints = result.complaints;
  if (options.singleLine) {
    ResetDocument();
    app.epsilon = options.thousandths == 1000 ? 1.0 : options.thousandths * 0.001;
  }
  RunSummary run;
  run.source = input;
  run.tolerance = ToleranceText(options.thousandths);
  run.epsilon = options.thousandths * 0.001;
  run.curves = options.curves;
  run.emitPrevious = options.emitPrevious;
  Drawing drawing;
  std::vector<PixelRun> underlay;
  if (options.singleLine ? !RunSingleLine(options, input, run, drawing, underlay, complaints)
                         : !RunDrawing(options, input, run, drawing, underlay, complaints)) {
    return result;
  }
  const auto write = [&](bool wanted, const char* suffix, auto writer) {
    if (!wanted) return;
    const std::string path = OutputPath(options, input, suffix);
    if (!writer(path)) complaints.push_back(Complaint(path, N_("Error writing the file!")));
    if (options.singleLine) TakeShownMessages();  // the writer's own message, told above
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
  if (run.size.unitRefused) {
    complaints.push_back(Complaint(
        input, N_("The picture states no resolution: the outputs are in pixels (give --dpi)")));
  }
  if ((options.gcode || options.hpgl) && run.size.dpi <= 0) {
    complaints.push_back(Complaint(
        input, N_("The picture states no resolution: no G-code or HPGL written (give --dpi)")));
  } else {
    const MachineOptions machine{options.laser, options.penDown, options.penUp, options.feed};
    write(options.gcode, ".gcode",
          [&](const std::string& path) { return WriteGcode(path, drawing, run, machine); });
    write(options.hpgl, ".plt",
          [&](const std::string& path) { return WriteHpgl(path, drawing, run); });
  }

  if (options.singleLine) {
    line = input + ": " +
           Trf("%d x %d, chain %d, start (%d, %d), critical points %d", app.imageWidth,
               app.imageHeight, app.chainLength, app.chainStart.x, app.chainStart.y,
               app.criticalCount);
    const char* reports[] = {kTextNoLineEnd, kTextChainCut, kTextPointsCut};
    const int bits[] = {kTraceNoStart, kTraceChainCut, kSimplifyPointsCut};
    for (int r = 0; r < 3; ++r) {
      if (run.report & bits[r]) complaints.push_back(input + ": " + DocumentMessage(reports[r]));
    }
    return result;
  }
  const size_t points = drawing.points.size();
  int closed = 0;
  for (const Stroke& stroke : drawing.strokes) closed += stroke.closed;
  const char* kind = run.ink == "dark" ? Tr("dark") : Tr("light");
  const std::string ink = run.localThreshold
                              ? Trf("%s ink (threshold %d against the paper)", kind, run.threshold)
                              : Trf("%s ink (threshold %d)", kind, run.threshold);
  line = input + ": " +
         Trf("%d x %d, %s, strokes %d (closed %d), points %d, pen-up %.1f px", drawing.width,
             drawing.height, ink.c_str(), static_cast<int>(drawing.strokes.size()), closed,
             static_cast<int>(points), drawing.penUp);
  if (drawing.specks > 0 || drawing.spurs > 0) {
    line += Trf(", specks dropped %lld, spurs pruned %lld", static_cast<long long>(drawing.specks),
                static_cast<long long>(drawing.spurs));
  }
  if (!drawing.filled.empty()) {
    line += Trf(", filled areas %d (traced through their middles)",
                static_cast<int>(drawing.filled.size()));
  }
  line += RealSizeText(drawing, run.size);
  if (options.defaultSvg) line += Trf(", SVG: %s", OutputPath(options, input, ".svg").c_str());
  if (drawing.strokes.empty()) {
    complaints.push_back(Complaint(input, N_("Ink, but not a single stroke in it")));
  }
  return result;
}
