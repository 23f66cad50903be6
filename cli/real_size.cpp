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
  const bool given = optionDpi > 0;
  size.dpi = given ? optionDpi : fileDpiX;
  size.dpiDown = fileDpiY;
  size.square = given || fileDpiX == 0 || std::fabs(fileDpiX - fileDpiY) <= 0.01 * fileDpiX;
  size.unit = size.dpi <= 0 ? Unit::kPx : option != Unit::kAuto ? option : Unit::kMm;
  size.unitRefused = size.dpi <= 0 && (option == Unit::kMm || option == Unit::kIn);
  return size;
}
