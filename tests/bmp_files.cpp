#include "tests/bmp_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

void PutLe(Bytes& bytes, size_t offset, uint64_t value, int size) {
  for (int b = 0; b < size; ++b) bytes[offset + b] = static_cast<unsigned char>(value >> (8 * b));
}

uint64_t GetLe(const Bytes& bytes, size_t offset, int size) {
  uint64_t value = 0;
  for (int b = size - 1; b >= 0; --b) value = (value << 8) | bytes[offset + b];
  return value;
}

Bytes MakeBmp(const BmpLayout& l, const std::function<Rgb(int, int)>& pixel) {
  const size_t stride = (3 * static_cast<size_t>(l.width) + 3) & ~size_t{3};
  const size_t offset = 14 + l.infoSize + l.gap;
  Bytes bytes(offset + stride * l.height, 0);
  bytes[0] = 'B';
  bytes[1] = 'M';
  PutLe(bytes, 2, bytes.size() + l.totalSizeDelta, 4);
  PutLe(bytes, 10, offset, 4);
  PutLe(bytes, 14, l.infoSize, 4);
  PutLe(bytes, 18, static_cast<uint32_t>(l.width), 4);
  PutLe(bytes, 22, static_cast<uint32_t>(l.topDown ? -l.height : l.height), 4);
  PutLe(bytes, 26, 1, 2);
  PutLe(bytes, 28, l.bitCount, 2);
  PutLe(bytes, 30, l.compression, 4);
  PutLe(bytes, 34, stride * l.height, 4);
  PutLe(bytes, 46, l.colorsUsed, 4);
  for (int y = 0; y < l.height; ++y) {
    const int fileRow = l.topDown ? y : l.height - 1 - y;
    for (int x = 0; x < l.width; ++x) {
      const Rgb c = pixel(x, y);
      unsigned char* p = &bytes[offset + fileRow * stride + 3 * x];
      p[0] = c.blue;
      p[1] = c.green;
      p[2] = c.red;
    }
  }
  return bytes;
}

Bytes MakeLinePicture(int width, int height, const std::vector<std::pair<int, int>>& on) {
  const std::set<std::pair<int, int>> lit(on.begin(), on.end());
  BmpLayout layout;
  layout.width = width;
  layout.height = height;
  return MakeBmp(layout, [&](int x, int y) {
    return lit.count({x, y}) ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
  });
}

std::string TempPath(const std::string& name) {
  const auto dir = std::filesystem::temp_directory_path() / "kwindra-tests";
  std::filesystem::create_directories(dir);
  // Each test runs in a process of its own, possibly beside others.
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string prefix =
      test ? std::string(test->test_suite_name()) + "." + test->name() + "." : "";
  return (dir / (prefix + name)).string();
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
  return std::filesystem::exists(path);
}
