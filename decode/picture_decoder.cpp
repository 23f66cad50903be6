#include "decode/picture_decoder.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>

#include "decode/format_decoders.h"
#include "decode/orientation.h"

bool Fail(DecodeResult& result, DecodeStatus status, std::string detail) {
  result.status = status;
  result.detail = std::move(detail);
  result.image = GrayImage{};
  return false;
}

bool BelievableResolution(double dpiX, double dpiY) {
  const auto believable = [](double dpi) { return dpi >= 1 && dpi <= 1e6; };  // false for NaN
  return believable(dpiX) && believable(dpiY);
}

void SetResolution(DecodeResult& result, double dpiX, double dpiY) {
  if (BelievableResolution(dpiX, dpiY)) result.dpiX = dpiX, result.dpiY = dpiY;
}

double DotsPerInch(uint32_t perUnit, double unitsPerInch) {
  const double exact = perUnit * unitsPerInch;
  const double whole = std::round(exact);
  return std::round(whole / unitsPerInch) == perUnit ? whole : exact;
}

bool AllocateImage(DecodeResult& result, uint64_t width, uint64_t height,
                   const DecodeLimits& limits) {
  result.width = width;
  result.height = height;
  if (width == 0 || height == 0) return Fail(result, DecodeStatus::kDamaged, "empty picture");
  // Coordinates are 32-bit signed further on.
  if (width > INT32_MAX || height > INT32_MAX || width * height > limits.maxPixels) {
    return Fail(result, DecodeStatus::kTooLarge, "");
  }
  result.image.pixels.reset(new (std::nothrow) uint8_t[width * height]);
  if (!result.image.pixels) return Fail(result, DecodeStatus::kOutOfMemory, "");
  result.image.width = static_cast<int32_t>(width);
  result.image.height = static_cast<int32_t>(height);
  return true;
}

namespace {

bool IsPnmMagic(const unsigned char* m, size_t n) {
  return n >= 3 && m[0] == 'P' && m[1] >= '1' && m[1] <= '6' &&
         (m[2] == ' ' || m[2] == '\t' || m[2] == '\n' || m[2] == '\r' || m[2] == '#');
}

}  // namespace

DecodeResult DecodePicture(std::FILE* file, const DecodeLimits& limits) {
  DecodeResult result;
  unsigned char magic[12] = {};
  const size_t n = std::fread(magic, 1, sizeof magic, file);
  if (n < sizeof magic && std::ferror(file)) {
    Fail(result, DecodeStatus::kCannotOpen, std::strerror(errno));
    return result;
  }
  if (std::fseek(file, 0, SEEK_SET) != 0) {
    Fail(result, DecodeStatus::kCannotOpen, "not seekable");
    return result;
  }
  bool ok = false;
  if (n >= 8 && std::memcmp(magic, "\x89PNG\r\n\x1a\n", 8) == 0) {
    result.format = "PNG";
    ok = DecodePng(file, limits, result);
  } else if (n >= 3 && magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF) {
    result.format = "JPEG";
    ok = DecodeJpeg(file, limits, result);
  } else if (n >= 4 && ((magic[0] == 'I' && magic[1] == 'I' && (magic[2] == 42 || magic[2] == 43) &&
                         magic[3] == 0) ||
                        (magic[0] == 'M' && magic[1] == 'M' && magic[2] == 0 &&
                         (magic[3] == 42 || magic[3] == 43)))) {
    result.format = "TIFF";
    ok = DecodeTiff(file, limits, result);
  } else if (n >= 2 && magic[0] == 'B' && magic[1] == 'M') {
    result.format = "BMP";
    ok = DecodeBmp(file, limits, result);
  } else if (n >= 12 && std::memcmp(magic, "RIFF", 4) == 0 &&
             std::memcmp(magic + 8, "WEBP", 4) == 0) {
    result.format = "WebP";
    ok = DecodeWebp(file, limits, result);
  } else if (IsPnmMagic(magic, n)) {
    result.format = "PNM";
    ok = DecodePnm(file, limits, result);
  } else {
    Fail(result, DecodeStatus::kUnknownFormat, "");
  }
  if (ok && result.orientation >= 5 && result.orientation <= 8) {
    std::swap(result.dpiX, result.dpiY);  // a quarter turn: across becomes down
  }
  if (ok && !Orient(result.image, result.orientation)) {
    Fail(result, DecodeStatus::kOutOfMemory, "");
    ok = false;
  }
  if (ok) {
    result.status = DecodeStatus::kOk;
    result.width = static_cast<uint64_t>(result.image.width);
    result.height = static_cast<uint64_t>(result.image.height);
  }
  return result;
}

DecodeResult DecodePictureFile(const std::string& path, const DecodeLimits& limits) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    DecodeResult result;
    Fail(result, DecodeStatus::kCannotOpen, std::strerror(errno));
    return result;
  }
  DecodeResult result = DecodePicture(file, limits);
  std::fclose(file);
  return result;
}
