// Which resolution and unit a picture's outputs get.
#include "cli/real_size.h"

#include <cmath>

const char* RealSize::UnitName() const {
  return unit == Unit::kMm ? "mm" : unit == Unit::kIn ? "in" : "px";
}

double RealSize::PerPixel() const {
  return unit == Unit::kMm ? 25.4 / dpi : unit == Unit::kIn ? 1 / dpi : 1;
}

RealSize ChooseRealSize(double optionDpi, Unit option, double fileDpiX, double fileDpiY) {
  RealSize size;
  size.dpiGiven = optionDpi > 0;
  size.dpi = size.dpiGiven ? optionDpi : fileDpiX;
  size.dpiDown = fileDpiY;
  size.square = size.dpiGiven || fileDpiX == 0 || std::fabs(fileDpiX - fileDpiY) <= 0.01 * fileDpiX;
  size.unit = option != Unit::kAuto ? option : size.dpi > 0 ? Unit::kMm : Unit::kPx;
  return size;
}
