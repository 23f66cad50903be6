// G-code and HPGL writers: each spells the drawing's pieces in its words.
#include "cli/machine_export.h"

#include <algorithm>
#include <cmath>

#include "cli/text_sink.h"
#include "curves/segment.h"

namespace {

// A file name inside a G-code comment: no parentheses, nothing unprintable.
std::string CommentText(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += (c == '(' || c == ')' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
  }
  return out;
}

void Gcode(Sink& g, const Drawing& d, const RunSummary& run, const MachineOptions& machine) {
  const bool inches = run.size.unit == Unit::kIn;
  const double k = inches ? 1 / run.size.dpi : 25.4 / run.size.dpi;
  const int places = inches ? 5 : 4;
  const std::string down = !machine.penDown.empty() ? machine.penDown
                           : machine.laser          ? "M3 S1000"
                                                    : "G1 Z0";
  const std::string up = !machine.penUp.empty() ? machine.penUp
                         : machine.laser        ? "M5"
                         : inches               ? "G0 Z0.08"
                                                : "G0 Z2";
  const double feed = machine.feed > 0 ? machine.feed : inches ? 40 : 1000;
  const auto xy = [&](double x, double y) {
    const PointF p = UpwardPoint(d, k, x, y);
    std::string text = "X";  // appended: GCC 12 warns falsely on "X" + string (-Wrestrict)
    text += Number(p.x, places);
    text += " Y";
    text += Number(p.y, places);
    return text;
  };
  g += "(Kwindra: " + CommentText(run.source) + Format(", %d x %d px at ", d.width, d.height) +
       Number(run.size.dpi, 3) + " dpi, epsilon " + run.tolerance + " px)\n";
  g += inches ? "G20\n" : "G21\n";
  g += "G90\nG17\n" + up + "\nF" + Number(feed, 3) + "\n";
  for (const Stroke& stroke : d.strokes) {
    const DrawnPoint start = d.points[stroke.first];
    g += "G0 " + xy(start.x, start.y) + "\n" + down + "\n";
    for (uint32_t i = 0; i + 1 < stroke.count; ++i) {
      const Segment piece = PieceOf(d, stroke, i);
      if (piece.Straight()) {
        g += "G1 " + xy(piece.to.x, piece.to.y) + "\n";
        continue;
      }
      // Clockwise as seen (a positive bulge) is G2 with y upwards; I and J
      // lead from the start to the centre.
      const PointF c = piece.Centre();
      g += std::string(piece.bulge > 0 ? "G2 " : "G3 ") + xy(piece.to.x, piece.to.y) + " I" +
           Number((c.x - piece.from.x) * k, places) + " J" +
           Number(-(c.y - piece.from.y) * k, places) + "\n";
    }
    g += up + "\n";
  }
  g += "M2\n";
}

// Plotter units a pixel: 40 a millimetre.
void Hpgl(Sink& h, const Drawing& d, const RunSummary& run) {
  const double k = 40 * 25.4 / run.size.dpi;
  // The chords' sagitta, in pixels.
  const double sagitta = std::max(run.epsilon / 10, 0.25 / k);
  const auto at = [&](PointF p) {
    const PointF q = UpwardPoint(d, k, p.x, p.y);
    return Format("%lld,%lld", std::llround(q.x), std::llround(q.y));
  };
  h += "IN;SP1;";
  for (const Stroke& stroke : d.strokes) {
    const DrawnPoint start = d.points[stroke.first];
    h += "PU" + at({start.x, start.y}) + ";PD";
    const char* comma = "";
    for (uint32_t i = 0; i + 1 < stroke.count; ++i) {
      const Segment piece = PieceOf(d, stroke, i);
      int chords = 1;
      if (!piece.Straight()) {
        const double r = piece.Radius();
        const double step = sagitta < r ? 2 * std::acos(1 - sagitta / r) : M_PI;
        chords =
            static_cast<int>(std::clamp(std::ceil(std::fabs(piece.Sweep()) / step), 1.0, 65536.0));
      }
      for (int c = 1; c <= chords; ++c) {
        h += comma;
        h += at(c == chords ? piece.to : piece.At(static_cast<double>(c) / chords));
        comma = ",";
      }
    }
    if (stroke.count < 2) h += at({start.x, start.y});  // a dot
    h += ";\n";
  }
  h += "PU;SP0;\n";
}

}  // namespace

bool WriteGcode(const std::string& path, const Drawing& d, const RunSummary& run,
                const MachineOptions& machine) {
  return WriteStreamed(path, [&](Sink& g) { Gcode(g, d, run, machine); });
}

bool WriteHpgl(const std::string& path, const Drawing& d, const RunSummary& run) {
  return WriteStreamed(path, [&](Sink& h) { Hpgl(h, d, run); });
}
