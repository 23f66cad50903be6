#include "document/bmp_reader.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "document/allocation.h"
#include "document/app_state.h"
#include "document/display_image.h"
#include "document/pixel_rows.h"
#include "document/platform_seam.h"
#include "document/texts.h"

namespace {

uint32_t ReadU32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t ReadU16(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

void WriteU32(unsigned char* p, uint32_t v) {
  for (int b = 0; b < 4; ++b) p[b] = static_cast<unsigned char>(v >> (8 * b));
}

int Refuse(void* owner, const char* text) {
  ShowMessage(owner, text, kCaptionWarning);
  return 0;
}

int OutOfMemory(void* owner) {
  ShowMessage(owner, kTextOutOfMemory, "");
  RequestQuit(-1);
  return 0;
}

// Gray bytes of the bottom-up rows [first, last) into the top-down raster.
void ConvertToGray(const unsigned char* rows, int64_t width, int64_t height, int64_t first,
                   int64_t last, unsigned char* gray) {
  const uint64_t stride = RowStride(width);
  for (int64_t j = first; j < last; ++j) {
    const unsigned char* pixel = rows + j * stride;
    GrayRow(pixel, gray + (height - 1 - j) * width, width);
  }
}

// Rows are read about this many bytes at a time and each slice is turned to
// gray and drawn while it is still in the cache: one pass over the memory.
constexpr uint64_t kSliceBytes = 256 * 1024;

}  // namespace

int LoadBmp(const char* path, void* ownerWindow) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return 0;
  file.seekg(0, std::ios::end);
  const std::streamoff length = file.tellg();
  file.seekg(0, std::ios::beg);
  if (length < 2 || !file) return 0;

  unsigned char header[kFileHeaderSize + kInfoHeaderSize] = {};
  file.read(reinterpret_cast<char*>(header), sizeof header);
  if (header[0] != 'B' || header[1] != 'M') return 0;
  const uint64_t fileLength = static_cast<uint64_t>(length);
  if (fileLength < sizeof header) return Refuse(ownerWindow, kTextDamagedBmp);

  const unsigned char* info = header + kFileHeaderSize;
  const uint64_t totalSize = ReadU32(header + 2);
  const uint64_t pixelOffset = ReadU32(header + 10);
  const uint64_t infoSize = ReadU32(info);
  const int32_t width = static_cast<int32_t>(ReadU32(info + 4));
  const int32_t rawHeight = static_cast<int32_t>(ReadU32(info + 8));
  const uint16_t bitCount = ReadU16(info + 14);
  const uint32_t compression = ReadU32(info + 16);
  const uint32_t colorsUsed = ReadU32(info + 32);

  if (infoSize < kInfoHeaderSize || infoSize > fileLength - kFileHeaderSize) {
    return Refuse(ownerWindow, kTextDamagedBmp);
  }
  if (colorsUsed != 0 || bitCount != 24 || compression != 0) {
    return Refuse(ownerWindow, kTextOnly24Bit);
  }
  if (width <= 0 || rawHeight == 0 || rawHeight == INT_MIN) {
    return Refuse(ownerWindow, kTextDamagedBmp);
  }
  const bool topDown = rawHeight < 0;
  const int32_t height = topDown ? -rawHeight : rawHeight;
  const uint64_t stride = RowStride(width);
  const uint64_t rowBytes = stride * static_cast<uint64_t>(height);
  if (pixelOffset < kFileHeaderSize + infoSize || totalSize < pixelOffset + rowBytes ||
      fileLength < pixelOffset + rowBytes) {
    return Refuse(ownerWindow, kTextDamagedBmp);
  }

  // An ordinary file is kept as it stands after its file header; any other
  // layout is rewritten as a 40-byte header followed by bottom-up rows.
  const bool ordinary = infoSize == kInfoHeaderSize && pixelOffset == 54 && !topDown;
  const uint64_t imageSize =
      ordinary ? (totalSize < fileLength ? totalSize : fileLength) - kFileHeaderSize
               : kInfoHeaderSize + rowBytes;
  const uint64_t grayBytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (imageSize > SIZE_MAX || grayBytes > SIZE_MAX) return OutOfMemory(ownerWindow);

  unsigned char* image = AllocateBytes(static_cast<size_t>(imageSize));
  if (!image) return OutOfMemory(ownerWindow);
  unsigned char* gray = AllocateBytes(static_cast<size_t>(grayBytes));
  if (!gray) {
    FreeBytes(image);
    return OutOfMemory(ownerWindow);
  }

  std::memcpy(image, info, kInfoHeaderSize);
  unsigned char* rows = image + kInfoHeaderSize;
  if (!ordinary) {
    WriteU32(image, kInfoHeaderSize);
    WriteU32(image + 8, static_cast<uint32_t>(height));
  }
  auto readInto = [&file](unsigned char* target, uint64_t bytes) {
    file.read(reinterpret_cast<char*>(target), static_cast<std::streamsize>(bytes));
    return static_cast<uint64_t>(file.gcount()) == bytes;
  };
  auto convertAndDraw = [&](int64_t first, int64_t last) {
    ConvertToGray(rows, width, height, first, last, gray);
    DrawDisplayRows(rows, gray, width, height, first, last);
  };
  file.seekg(static_cast<std::streamoff>(pixelOffset));
  bool complete = true;
  if (topDown) {
    for (int64_t r = 0; r < height && complete; ++r) {
      const int64_t j = height - 1 - r;
      complete = readInto(rows + j * stride, stride);
      if (complete) convertAndDraw(j, j + 1);
    }
  } else {
    const int64_t slice = stride >= kSliceBytes ? 1 : static_cast<int64_t>(kSliceBytes / stride);
    for (int64_t j = 0; j < height && complete; j += slice) {
      const int64_t last = height - j < slice ? height : j + slice;
      complete = readInto(rows + j * stride, (last - j) * stride);
      if (complete) convertAndDraw(j, last);
    }
    // What an ordinary file holds after its rows is kept as it stands.
    if (complete && ordinary) complete = readInto(rows + rowBytes, imageSize - 40 - rowBytes);
  }
  if (!complete) {
    FreeBytes(image);
    FreeBytes(gray);
    return Refuse(ownerWindow, kTextDamagedBmp);
  }

  ReleaseDocument();
  app.fileImage = image;
  app.fileImageSize = static_cast<size_t>(imageSize);
  app.grayRaster = gray;
  app.imageWidth = width;
  app.imageHeight = height;
  FinishDisplayImage(ownerWindow);
  return 1;
}
