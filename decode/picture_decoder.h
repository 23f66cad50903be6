// Reads a picture of any supported format (PNG, JPEG, TIFF, BMP, WebP, PBM/PGM/PPM),
// recognised by its first bytes, into 8-bit luminance.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "decode/gray_image.h"

enum class DecodeStatus {
  kOk,
  kCannotOpen,     // the file cannot be opened or read at all
  kUnknownFormat,  // not one of the formats above
  kDamaged,        // broken or cut short; detail says how
  kUnsupported,    // a valid file of a kind not read here; detail says which
  kTooLarge,       // more pixels than the limit
  kOutOfMemory,
};

struct DecodeLimits {
  uint64_t maxPixels = 1000000000;
};

struct DecodeResult {
  DecodeStatus status = DecodeStatus::kOk;
  const char* format = "";  // "PNG", "JPEG", "TIFF", "BMP", "WebP", "PNM"
  std::string detail;       // the library's or the decoder's words, English
  uint64_t width = 0;       // the size the file declares, also when refused
  uint64_t height = 0;
  int orientation = 1;  // as stored, 1 to 8 (EXIF, TIFF); the image is turned by it
  // Dots per inch across and down the picture as shown, as the file states
  // them; 0 when it states none (or nothing believable).
  double dpiX = 0;
  double dpiY = 0;
  GrayImage image;
};

// Dots per inch from a whole number of dots per metre or centimetre
// (unitsPerInch 0.0254 or 2.54): the whole dpi it was rounded from when
// there is one (11811 a metre is 300 dpi, not 299.9994).
double DotsPerInch(uint32_t perUnit, double unitsPerInch);

// Whether a stated resolution is one to take: 1 to 1000000 dpi both ways
// (a file may state anything, NaN included).
bool BelievableResolution(double dpiX, double dpiY);

// Decodes from the stream's current position (the stream must be seekable).
DecodeResult DecodePicture(std::FILE* file, const DecodeLimits& limits);
DecodeResult DecodePictureFile(const std::string& path, const DecodeLimits& limits);
