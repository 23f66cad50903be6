#include "cli/vector_export.h"

#include <cstdio>
#include <vector>

#include "cli/file_output.h"
#include "document/app_state.h"
#include "vectorize/chain_simplifier.h"
#include "vectorize/line_tracer.h"

namespace {

bool WriteWhole(const std::string& path, const std::string& content) {
  return WriteReplacing(path, [&](std::FILE* file) {
    return std::fwrite(content.data(), 1, content.size(), file) == content.size();
  });
}

std::string Format(const char* format, auto... values) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, format, values...);
  return buffer;
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

bool WriteSvg(const std::string& path, const RunSummary& run, bool tracedPixels) {
  const int width = app.imageWidth, height = app.imageHeight;
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += Format("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" ", width,
                height);
  svg += Format("viewBox=\"0 0 %d %d\">\n", width, height);
  svg += "<title>" + EscapeXml(run.source) + "</title>\n";
  if (tracedPixels && app.chainLength > 0) {
    std::vector<Point> path(static_cast<size_t>(app.chainLength) + 1);
    ChainToPoints(app.chainCodes, app.chainStart.x, app.chainStart.y, app.chainLength, path.data());
    svg += "<path id=\"traced-pixels\" fill=\"#00ff00\" d=\"";
    for (const Point& p : path) svg += Format("M%d %dh1v1h-1z", p.x, p.y);
    svg += "\"/>\n";
  }
  if (app.criticalCount > 0) {
    svg +=
        "<polyline id=\"critical-points\" fill=\"none\" stroke=\"#ff0000\" "
        "stroke-width=\"1\" stroke-linejoin=\"round\" stroke-linecap=\"round\" points=\"";
    for (int n = 0; n < app.criticalCount; ++n) {
      const Point p = app.criticalPoints[n];
      svg += Format(n ? " %d.5,%d.5" : "%d.5,%d.5", p.x, p.y);
    }
    svg += "\"/>\n";
  }
  svg += "</svg>\n";
  return WriteWhole(path, svg);
}

bool WriteDxf(const std::string& path, const RunSummary&) {
  std::string dxf = "999\nKwindra polyline; pixel (x, y) is (x, height - 1 - y) here\n";
  dxf += "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1009\n0\nENDSEC\n";
  dxf += "0\nSECTION\n2\nENTITIES\n";
  if (app.criticalCount > 0) {
    dxf += "0\nPOLYLINE\n8\n0\n66\n1\n10\n0.0\n20\n0.0\n30\n0.0\n70\n0\n";
    for (int n = 0; n < app.criticalCount; ++n) {
      const Point p = app.criticalPoints[n];
      dxf +=
          Format("0\nVERTEX\n8\n0\n10\n%d.0\n20\n%d.0\n30\n0.0\n", p.x, app.imageHeight - 1 - p.y);
    }
    dxf += "0\nSEQEND\n8\n0\n";
  }
  dxf += "0\nENDSEC\n0\nEOF\n";
  return WriteWhole(path, dxf);
}

bool WriteCsv(const std::string& path, const RunSummary& run) {
  std::string csv = "# file: " + run.source + "\n";
  csv += Format("# width: %d\n# height: %d\n", app.imageWidth, app.imageHeight);
  csv += "# epsilon: " + run.tolerance + "\n";
  csv += std::string("# mode: ") + ModeName(run.emitPrevious) + "\n";
  if (!run.ink.empty()) csv += "# ink: " + run.ink + Format("\n# threshold: %d\n", run.threshold);
  csv += Format("# chain length: %d\n# start: %d,%d\n", app.chainLength, app.chainStart.x,
                app.chainStart.y);
  const std::string reports = ReportWords(run.report, " ");
  csv += "# reports: " + (reports.empty() ? std::string("none") : reports) + "\n";
  csv += "index,x,y\n";
  for (int n = 0; n < app.criticalCount; ++n) {
    csv += Format("%d,%d,%d\n", n, app.criticalPoints[n].x, app.criticalPoints[n].y);
  }
  return WriteWhole(path, csv);
}

bool WriteJson(const std::string& path, const RunSummary& run) {
  std::string json = "{\n  \"file\": \"" + EscapeJson(run.source) + "\",\n";
  json += Format("  \"width\": %d,\n  \"height\": %d,\n", app.imageWidth, app.imageHeight);
  json += "  \"epsilon\": " + run.tolerance + ",\n";
  json += std::string("  \"mode\": \"") + ModeName(run.emitPrevious) + "\",\n";
  if (!run.ink.empty()) {
    json += "  \"ink\": \"" + run.ink + Format("\",\n  \"threshold\": %d,\n", run.threshold);
  }
  json += Format("  \"chainLength\": %d,\n  \"start\": {\"x\": %d, \"y\": %d},\n", app.chainLength,
                 app.chainStart.x, app.chainStart.y);
  json += Format("  \"reports\": {\"noStart\": %s, \"chainCut\": %s, \"pointsCut\": %s},\n",
                 run.report & kTraceNoStart ? "true" : "false",
                 run.report & kTraceChainCut ? "true" : "false",
                 run.report & kSimplifyPointsCut ? "true" : "false");
  json += "  \"points\": [";
  for (int n = 0; n < app.criticalCount; ++n) {
    json += Format(n ? ", [%d, %d]" : "[%d, %d]", app.criticalPoints[n].x, app.criticalPoints[n].y);
  }
  json += "]\n}\n";
  return WriteWhole(path, json);
}
