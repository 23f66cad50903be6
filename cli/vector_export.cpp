#include "cli/vector_export.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <span>

#include "cli/text_sink.h"
#include "curves/segment.h"
#include "vectorize/chain_simplifier.h"
#include "vectorize/line_tracer.h"

namespace {

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

namespace {

// Decimal places that keep a thousandth of a pixel at any resolution people use.
int Places(const RealSize& size) {
  return size.unit == Unit::kIn ? 5 : size.unit == Unit::kMm ? 4 : 3;
}

// Each piece of each stroke, as the writers spell them. A closed stroke's
// last straight piece is left to the format's own closing when it has one.
template <class Spell>
void ForEachPiece(const Drawing& d, const Stroke& stroke, bool leaveClosing, Spell spell) {
  for (uint32_t i = 0; i + 1 < stroke.count; ++i) {
    const Segment piece = PieceOf(d, stroke, i);
    if (leaveClosing && stroke.closed && i + 2 == stroke.count && piece.Straight()) break;
    spell(piece);
  }
}

void Svg(Sink& svg, const Drawing& d, const RunSummary& run,
         const std::vector<PixelRun>* underlay) {
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  if (run.size.unit == Unit::kPx) {
    svg += Format("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" ", d.width,
                  d.height);
  } else {
    // The whole picture, pixel edges and all, at its real size, written
    // just under (by less than a ten-thousandth): renderers round a size up
    // to whole pixels, and one a hair over in their arithmetic gains a pixel.
    const double k = run.size.PerPixel();
    const char* unit = run.size.UnitName();
    const auto length = [&](int pixels) {
      return Number(std::floor(pixels * k * 1e4 - 1e-3) / 1e4, 4);
    };
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + length(d.width) + unit +
           "\" height=\"" + length(d.height) + unit + "\" ";
  }
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
    const DrawnPoint first = d.points[stroke.first];
    svg += "<path d=\"M" + Number(first.x + 0.5) + " " + Number(first.y + 0.5);
    ForEachPiece(d, stroke, true, [&](const Segment& piece) {
      const std::string to = Number(piece.to.x + 0.5) + " " + Number(piece.to.y + 0.5);
      if (piece.Straight()) {
        svg += " L" + to;
      } else {
        // A positive bulge turns clockwise as seen: SVG's positive sweep.
        const std::string r = Number(piece.Radius());
        svg += " A" + r + " " + r +
               Format(" 0 %d %d ", std::fabs(piece.bulge) > 1 ? 1 : 0, piece.bulge > 0 ? 1 : 0) +
               to;
      }
    });
    svg += stroke.closed ? " Z\"/>\n" : "\"/>\n";
  }
  svg += "</g>\n</svg>\n";
}

// DXF's units: 1 inches, 4 millimetres.
void Dxf(Sink& dxf, const Drawing& d, const RunSummary& run) {
  const RealSize& size = run.size;
  dxf += "999\nKwindra strokes; pixel (x, y) is (x, height - 1 - y) pixels here\n";
  dxf += "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1009\n";
  if (size.unit != Unit::kPx)
    dxf += Format("9\n$INSUNITS\n70\n%d\n", size.unit == Unit::kIn ? 1 : 4);
  dxf += "0\nENDSEC\n";
  dxf += "0\nSECTION\n2\nENTITIES\n";
  const double k = size.PerPixel();
  const int places = Places(size);
  for (const Stroke& stroke : d.strokes) {
    dxf += Format("0\nPOLYLINE\n8\n0\n66\n1\n10\n0.0\n20\n0.0\n30\n0.0\n70\n%d\n",
                  stroke.closed ? 1 : 0);
    const uint32_t vertices = stroke.closed && stroke.count > 1 ? stroke.count - 1 : stroke.count;
    for (uint32_t i = 0; i < vertices; ++i) {
      const DrawnPoint p = d.points[stroke.first + i];
      const PointF at = UpwardPoint(d, k, p.x, p.y);
      dxf += "0\nVERTEX\n8\n0\n10\n" + Number(at.x, places) + "\n20\n" + Number(at.y, places) +
             "\n30\n0.0\n";
      // With y upwards a clockwise turn is a negative bulge (an open
      // stroke's last point has none).
      const double bulge = d.Bulge(stroke.first + i);
      if (bulge != 0) dxf += "42\n" + Number(-bulge, 6) + "\n";
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
  const RealSize& size = run.size;
  csv +=
      "# resolution: " + (size.dpi > 0 ? Number(size.dpi) + " dpi" : std::string("unknown")) + "\n";
  csv += std::string("# unit: ") + size.UnitName() + " (the points are in pixels";
  csv += size.unit == Unit::kPx
             ? ")\n"
             : ", " + Number(size.PerPixel(), 8) + " " + size.UnitName() + " each)\n";
  // With curves: the bulge of the piece from each point to the next, tan of
  // a quarter of its sweep, positive turning clockwise as the picture is seen.
  csv += run.curves ? "stroke,index,x,y,bulge\n" : "stroke,index,x,y\n";
  for (size_t s = 0; s < d.strokes.size(); ++s) {
    const Stroke& stroke = d.strokes[s];
    const std::span<const DrawnPoint> points = d.Points(stroke);
    for (size_t i = 0; i < points.size(); ++i) {
      csv += Format("%zu,%zu,", s, i) + Number(points[i].x) + "," + Number(points[i].y);
      if (run.curves) {
        csv += ",";
        csv += Number(d.Bulge(stroke.first + i), 6);
      }
      csv += "\n";
    }
  }
}

// A stroke's pieces: "line", or "arc" with its centre, radius and sweep in degrees.
void JsonSegments(Sink& json, const Drawing& d, const Stroke& stroke) {
  json += ", \"segments\": [";
  bool first = true;
  ForEachPiece(d, stroke, false, [&](const Segment& piece) {
    json += first ? "{" : ", {";
    first = false;
    if (piece.Straight()) {
      json += "\"kind\": \"line\"}";
      return;
    }
    const PointF c = piece.Centre();
    json += "\"kind\": \"arc\", \"centre\": [" + Number(c.x) + ", " + Number(c.y) +
            "], \"radius\": " + Number(piece.Radius()) +
            ", \"sweep\": " + Number(piece.Sweep() * 180 / M_PI, 6) + "}";
  });
  json += "]";
}

void Json(Sink& json, const Drawing& d, const RunSummary& run) {
  json += "{\n  \"file\": \"" + EscapeJson(run.source) + "\",\n";
  json += Format("  \"width\": %d,\n  \"height\": %d,\n", d.width, d.height);
  json += "  \"epsilon\": " + run.tolerance + ",\n";
  json += "  \"dpi\": " + (run.size.dpi > 0 ? Number(run.size.dpi) : std::string("null")) + ",\n";
  json += std::string("  \"unit\": \"") + run.size.UnitName() + "\",\n";
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
    json += "]";
    if (run.curves) JsonSegments(json, d, stroke);
    json += "}";
  }
  json += d.strokes.empty() ? "],\n" : "\n  ],\n";
  if (!run.singleLine) {
    // Ink much wider than the strokes, traced through its middle: its box
    // [x0, y0, x1, y1] in pixels and its largest half width.
    json += "  \"filledAreas\": [";
    for (size_t a = 0; a < d.filled.size(); ++a) {
      const FilledArea& f = d.filled[a];
      json += (a ? ", " : "") + std::string("{\"box\": [") + Number(f.x0) + ", " + Number(f.y0) +
              ", " + Number(f.x1) + ", " + Number(f.y1) +
              "], \"halfWidth\": " + Number(f.halfWidth) + "}";
    }
    json += "],\n";
  }
  json += "  \"penUp\": " + Number(d.penUp) + "\n}\n";
}

}  // namespace

bool WriteSvg(const std::string& path, const Drawing& d, const RunSummary& run,
              const std::vector<PixelRun>* underlay) {
  return WriteStreamed(path, [&](Sink& svg) { Svg(svg, d, run, underlay); });
}

bool WriteDxf(const std::string& path, const Drawing& d, const RunSummary& run) {
  return WriteStreamed(path, [&](Sink& dxf) { Dxf(dxf, d, run); });
}

bool WriteCsv(const std::string& path, const Drawing& d, const RunSummary& run) {
  return WriteStreamed(path, [&](Sink& csv) { Csv(csv, d, run); });
}

bool WriteJson(const std::string& path, const Drawing& d, const RunSummary& run) {
  return WriteStreamed(path, [&](Sink& json) { Json(json, d, run); });
}
