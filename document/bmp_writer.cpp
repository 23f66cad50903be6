#include "document/bmp_writer.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "document/app_state.h"
#include "document/platform_seam.h"
#include "document/texts.h"

namespace {

void PutU32(unsigned char* p, uint32_t v) {
  for (int b = 0; b < 4; ++b) p[b] = static_cast<unsigned char>(v >> (8 * b));
}

// Writes the whole file to path; false on any failed write or close.
bool WriteFile(const char* path, const unsigned char* header, size_t bodySize) {
  std::FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  bool ok = std::fwrite(header, 1, kFileHeaderSize, file) == kFileHeaderSize;
  const size_t kept = bodySize < app.fileImageSize ? bodySize : app.fileImageSize;
  ok = ok && std::fwrite(app.fileImage, 1, kept, file) == kept;
  // A file image shorter than the rows (never made by the reader) is padded.
  static const unsigned char kZeros[4096] = {};
  for (size_t left = bodySize - kept; ok && left > 0;) {
    const size_t chunk = left < sizeof kZeros ? left : sizeof kZeros;
    ok = std::fwrite(kZeros, 1, chunk, file) == chunk;
    left -= chunk;
  }
  ok = std::fflush(file) == 0 && ok;
  return std::fclose(file) == 0 && ok;
}

// An existing file that may not be written is not replaced either.
bool MayReplace(const char* path) {
  std::FILE* existing = std::fopen(path, "rb");
  if (!existing) return true;
  std::fclose(existing);
  std::FILE* probe = std::fopen(path, "ab");
  if (!probe) return false;
  std::fclose(probe);
  return true;
}

}  // namespace

int SaveBmp(const char* path, void* ownerWindow) {
  if (!app.fileImage) {
    ShowMessage(ownerWindow, kTextNothingToSave, "");
    return 0;
  }
  const uint64_t body = kInfoHeaderSize + RowStride(app.imageWidth) * app.imageHeight;
  const uint64_t total = kFileHeaderSize + body;
  unsigned char header[kFileHeaderSize] = {'B', 'M'};
  PutU32(header + 2, static_cast<uint32_t>(total));
  PutU32(header + 10, kFileHeaderSize + kInfoHeaderSize);

  // A device or other special file (such as /dev/full) is written in place:
  // it must not be replaced by a file. A folder is never written.
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (!error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    if (std::filesystem::is_directory(status) ||
        !WriteFile(path, header, static_cast<size_t>(body))) {
      ShowMessage(ownerWindow, kTextWriteError, kCaptionError);
      return 0;
    }
    return 1;
  }
  const std::string temporary = std::string(path) + ".zapis~";
  if (!MayReplace(path) || !WriteFile(temporary.c_str(), header, static_cast<size_t>(body)) ||
      !ReplaceFileWith(temporary.c_str(), path)) {
    std::remove(temporary.c_str());
    ShowMessage(ownerWindow, kTextWriteError, kCaptionError);
    return 0;
  }
  return 1;
}
