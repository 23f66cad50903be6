#include "cli/vector_export.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <span>

#include "cli/file_output.h"
#include "vectorize/chain_simplifier.h"
#include "vectorize/line_tracer.h"

namespace {

// Text on its way to a file, written a block at a time: a drawing of a
// million strokes is never held whole as text.
class Sink {
 public:
  explicit Sink(std::FILE* file) : file_(file) {}
  Sink& operator+=(const std::string& text) { return Add(text.data(), text.size()); }
  Sink& operator+=(const char* text) { return Add(text, std::strlen(text)); }
  // Writes what is left; false when any write failed.
  bool Close() {
    Flush();
    return ok_;
  }

 private:
  static constexpr size_t kBlock = 1 << 16;
  Sink& Add(const char* text, size_t length) {
    buffer_.append(text, length);
    if (buffer_.size() >= kBlock) Flush();
    return *this;
  }
  void Flush() {
    ok_ = ok_ && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) == buffer_.size();
    buffer_.clear();
  }
  std::FILE* file_;
  std::string buffer_;
  bool ok_ = true;
};

// Writes through a sink into a file that replaces path once complete.
bool WriteStreamed(const std::string& path, const std::function<void(Sink&)>& write) {
  return WriteReplacing(path, [&](std::FILE* file) {
    Sink sink(file);
    write(sink);
    return sink.Close();
  });
}

std::string Format(const char* format, auto... values) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, format, values...);
  return buffer;
}

// A coordinate to a thousandth of a pixel, without trailing zeros.
std::string Number(double value) {
  std::string text = Format("%.3f", std::round(value * 1000) / 1000);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

std::string EscapeXml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
    }
  }
  return out;
}

std::string EscapeJson(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      out += Format("\\u%04x", c);
    } else {
      out += c;
    }
  }
  return out;
}

const char* ModeName(int emitPrevious) {
  return emitPrevious ? "previous" : "break";
}

// The points a stroke is drawn through: a closed stroke's last point, the
// first again, is left to the closing.
std::span<const DrawnPoint> DrawnPoints(const Drawing& d, const Stroke& stroke) {
  const std::span<const DrawnPoint> points = d.Points(stroke);
  return stroke.closed && points.size() > 1 ? points.first(points.size() - 1) : points;
}

}  // namespace

std::string ReportWords(int report, const char* separator) {
  std::string words;
  const auto add = [&](const char* word) {
    if (!words.empty()) words += separator;
    words += word;
  };
  if (report & kTraceNoStart) add("no-start");
  if (report & kTraceChainCut) add("chain-cut");
  if (report & kSimplifyPointsCut) add("points-cut");
  return words;
}

namespace {

void Svg(Sink& svg, const Drawing& d, const RunSummary& run,
         const std::vector<PixelRun>* underlay) {
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += Format("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" ", d.width,
                d.height);
  svg += Format("viewBox=\"0 0 %d %d\">\n", d.width, d.height);
  svg += "<title>" + EscapeXml(run.source) + "</title>\n";
  if (underlay && !underlay->empty()) {
    svg += "<path id=\"pixels\" fill=\"#00ff00\" d=\"";
    for (const PixelRun& r : *underlay)
      svg += Format("M%d %dh%dv1h-%dz", r.x, r.y, r.length, r.length);
    svg += "\"/>\n";
  }
  // The single-line mode draws like the window's overlay, a drawing in ink.
  const char* colour = run.singleLine ? "#ff0000" : "#000000";
  svg += Format("<g id=\"strokes\" fill=\"none\" stroke=\"%s\" stroke-width=\"1\" ", colour);
  svg += "stroke-linejoin=\"round\" stroke-linecap=\"round\">\n";
  for (const Stroke& stroke : d.strokes) {
    svg += "<path d=\"";
    const char* command = "M";
    for (const DrawnPoint& p : DrawnPoints(d, stroke)) {
      svg += command + Number(p.x + 0.5) + " " + Number(p.y + 0.5);
      command = " L";
    }
    svg += stroke.closed ? " Z\"/>\n" : "\"/>\n";
  }
  svg += "</g>\n</svg>\n";
}

void Dxf(Sink& dxf, const Drawing& d) {
  dxf += "999\nKwindra strokes; pixel (x, y) is (x, height - 1 - y) here\n";
  dxf += "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1009\n0\nENDSEC\n";
  dxf += "0\nSECTION\n2\nENTITIES\n";
  for (const Stroke& stroke : d.strokes) {
    dxf += Format("0\nPOLYLINE\n8\n0\n66\n1\n10\n0.0\n20\n0.0\n30\n0.0\n70\n%d\n",
                  stroke.closed ? 1 : 0);
    for (const DrawnPoint& p : DrawnPoints(d, stroke)) {
      dxf += "0\nVERTEX\n8\n0\n10\n" + Number(p.x) + "\n20\n" + Number(d.height - 1 - p.y) +
             "\n30\n0.0\n";
    }
    dxf += "0\nSEQEND\n8\n0\n";
  }
  dxf += "0\nENDSEC\n0\nEOF\n";
}

void Csv(Sink& csv, const Drawing& d, const RunSummary& run) {
  csv += "# file: " + run.source + "\n";
  csv += Format("# width: %d\n# height: %d\n", d.width, d.height);
  csv += "# epsilon: " + run.tolerance + "\n";
  if (run.singleLine) {
    csv += std::string("# mode: ") + ModeName(run.emitPrevious) + "\n";
    csv +=
        Format("# chain length: %d\n# start: %d,%d\n", run.chainLength, run.start.x, run.start.y);
    const std::string reports = ReportWords(run.report, " ");
    csv += "# reports: " + (reports.empty() ? std::string("none") : reports) + "\n";
  } else {
    csv += "# ink: " + run.ink + Format("\n# threshold: %d", run.threshold) +
           (run.localThreshold ? " against the paper\n" : "\n");
    csv += "# pen-up: " + Number(d.penUp) + "\n";
  }
  csv += "stroke,index,x,y\n";
  for (size_t s = 0; s < d.strokes.size(); ++s) {
    const std::span<const DrawnPoint> points = d.Points(d.strokes[s]);
    for (size_t i = 0; i < points.size(); ++i) {
      csv += Format("%zu,%zu,", s, i) + Number(points[i].x) + "," + Number(points[i].y) + "\n";
    }
  }
}

void Json(Sink& json, const Drawing& d, const RunSummary& run) {
  json += "{\n  \"file\": \"" + EscapeJson(run.source) + "\",\n";
  json += Format("  \"width\": %d,\n  \"height\": %d,\n", d.width, d.height);
  json += "  \"epsilon\": " + run.tolerance + ",\n";
  if (run.singleLine) {
    json += std::string("  \"mode\": \"") + ModeName(run.emitPrevious) + "\",\n";
    json += Format("  \"chainLength\": %d,\n  \"start\": {\"x\": %d, \"y\": %d},\n",
                   run.chainLength, run.start.x, run.start.y);
    json += Format("  \"reports\": {\"noStart\": %s, \"chainCut\": %s, \"pointsCut\": %s},\n",
                   run.report & kTraceNoStart ? "true" : "false",
                   run.report & kTraceChainCut ? "true" : "false",
                   run.report & kSimplifyPointsCut ? "true" : "false");
    json += "  \"points\": [";
    const std::span<const DrawnPoint> points =
        d.strokes.empty() ? std::span<const DrawnPoint>() : d.Points(d.strokes[0]);
    for (size_t i = 0; i < points.size(); ++i) {
      json += (i ? ", [" : "[") + Number(points[i].x) + ", " + Number(points[i].y) + "]";
    }
    json += "],\n";
  } else {
    json += "  \"ink\": \"" + run.ink + Format("\",\n  \"threshold\": %d,\n", run.threshold);
    json += std::string("  \"thresholdAgainstPaper\": ") + (run.localThreshold ? "true" : "false") +
            ",\n";
  }
  json += "  \"strokes\": [";
  for (size_t s = 0; s < d.strokes.size(); ++s) {
    const Stroke& stroke = d.strokes[s];
    json += s ? ",\n    " : "\n    ";
    json += std::string("{\"closed\": ") + (stroke.closed ? "true" : "false") + ", \"points\": [";
    const std::span<const DrawnPoint> points = d.Points(stroke);
    for (size_t i = 0; i < points.size(); ++i) {
      json += (i ? ", [" : "[") + Number(points[i].x) + ", " + Number(points[i].y) + "]";
    }
    json += "]}";
  }
  json += d.strokes.empty() ? "],\n" : "\n  ],\n";
  json += "  \"penUp\": " + Number(d.penUp) + "\n}\n";
}

}  // namespace

bool WriteSvg(const std::string& path, const Drawing& d, const RunSummary& run,
              const std::vector<PixelRun>* underlay) {
  return WriteStreamed(path, [&](Sink& svg) { Svg(svg, d, run, underlay); });
}

bool WriteDxf(const std::string& path, const Drawing& d, const RunSummary&) {
  return WriteStreamed(path, [&](Sink& dxf) { Dxf(dxf, d); });
}

bool WriteCsv(const std::string& path, const Drawing& d, const RunSummary& run) {
  return WriteStreamed(path, [&](Sink& csv) { Csv(csv, d, run); });
}

bool WriteJson(const std::string& path, const Drawing& d, const RunSummary& run) {
  return WriteStreamed(path, [&](Sink& json) { Json(json, d, run); });
}
