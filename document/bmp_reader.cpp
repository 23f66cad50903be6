#include "document/bmp_reader.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "document/allocation.h"
#include "document/app_state.h"
#include "document/display_image.h"
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

// Gray byte of a pixel: the channel sum divided by 3, exactly, for every sum
// up to 765.
inline unsigned char MeanOfChannels(unsigned sum) {
  return static_cast<unsigned char>((sum * 43691u) >> 17);
}

void ConvertToGray(const unsigned char* rows, int32_t width, int32_t height, unsigned char* gray) {
  const uint64_t stride = RowStride(width);
  for (int64_t j = 0; j < height; ++j) {
    const unsigned char* pixel = rows + j * stride;
    unsigned char* out = gray + (height - 1 - j) * static_cast<int64_t>(width);
    for (int32_t k = 0; k < width; ++k, pixel += 3) {
      out[k] = MeanOfChannels(pixel[0] + pixel[1] + pixel[2]);
    }
  }
}

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
  bool complete = true;
  if (ordinary) {
    file.read(reinterpret_cast<char*>(rows), static_cast<std::streamsize>(imageSize - 40));
    complete = static_cast<uint64_t>(file.gcount()) == imageSize - 40;
  } else {
    WriteU32(image, kInfoHeaderSize);
    WriteU32(image + 8, static_cast<uint32_t>(height));
    file.seekg(static_cast<std::streamoff>(pixelOffset));
    if (topDown) {
      for (int64_t r = 0; r < height && complete; ++r) {
        char* target = reinterpret_cast<char*>(rows + (height - 1 - r) * stride);
        file.read(target, static_cast<std::streamsize>(stride));
        complete = static_cast<uint64_t>(file.gcount()) == stride;
      }
    } else {
      file.read(reinterpret_cast<char*>(rows), static_cast<std::streamsize>(rowBytes));
      complete = static_cast<uint64_t>(file.gcount()) == rowBytes;
    }
  }
  if (!complete) {
    FreeBytes(image);
    FreeBytes(gray);
    return Refuse(ownerWindow, kTextDamagedBmp);
  }

  ConvertToGray(rows, width, height, gray);
  ReleaseDocument();
  app.fileImage = image;
  app.fileImageSize = static_cast<size_t>(imageSize);
  app.grayRaster = gray;
  app.imageWidth = width;
  app.imageHeight = height;
  BuildDisplayImage(ownerWindow);
  return 1;
}
