// The drawing's real size: the resolution (the file's or the user's) and
// the unit the outputs are written in.
#pragma once

#include "drawing/drawing.h"

enum class Unit { kAuto, kPx, kMm, kIn };

struct RealSize {
  double dpi = 0;            // 0: unknown
  bool square = true;        // the file's pixels are as tall as wide
  double dpiDown = 0;        // the file's resolution down the picture
  Unit unit = Unit::kPx;     // never kAuto
  bool unitRefused = false;  // mm or in was asked for, but the resolution is unknown

  const char* UnitName() const;
  // Output units per pixel (1 for pixels).
  double PerPixel() const;
};

// --dpi wins over the file's resolution; kAuto is millimetres when the
// resolution is known, pixels otherwise, and so is mm or in without one
// (refused). Across the picture wins where a file states two resolutions.
RealSize ChooseRealSize(double optionDpi, Unit option, double fileDpiX, double fileDpiY);

// A point of the drawing in a frame whose y grows upwards (DXF, G-code,
// HPGL) in the output unit: pixel (x, y) at (x, height - 1 - y) pixels.
inline PointF UpwardPoint(const Drawing& d, double perPixel, double x, double y) {
  return {x * perPixel, (d.height - 1 - y) * perPixel};
}
