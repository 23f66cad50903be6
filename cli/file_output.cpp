#include "cli/file_output.h"

#include "document/platform_seam.h"

bool WriteReplacing(const std::string& path, const std::function<bool(std::FILE*)>& write) {
  const std::string temporary = path + ".zapis~";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return false;
  bool ok = write(file);
  ok = std::fflush(file) == 0 && ok;
  ok = std::fclose(file) == 0 && ok;
  if (!ok || !ReplaceFileWith(temporary.c_str(), path.c_str())) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}
