// Test pictures made in code.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

struct Rgb {
  unsigned char blue, green, red;
};

struct BmpLayout {
  int32_t width = 1;
  int32_t height = 1;
  bool topDown = false;
  uint32_t infoSize = 40;
  uint16_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  uint32_t gap = 0;  // bytes between the info header and the rows
  int64_t totalSizeDelta = 0;
};

// A BMP file; pixel(x, y) gives the colour at raster position (y down).
Bytes MakeBmp(const BmpLayout& layout, const std::function<Rgb(int, int)>& pixel);

// A picture with line pixels (white) at the given raster positions.
Bytes MakeLinePicture(int width, int height, const std::vector<std::pair<int, int>>& on);

void PutLe(Bytes& bytes, size_t offset, uint64_t value, int size);
uint64_t GetLe(const Bytes& bytes, size_t offset, int size);

std::string TempPath(const std::string& name);
void WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);
bool FileExists(const std::string& path);
