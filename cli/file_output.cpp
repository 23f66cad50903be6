#include "cli/file_output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "document/platform_seam.h"

bool WriteReplacing(const std::string& path, const std::function<bool(std::FILE*)>& write) {
  // A name of its own, so that pictures written at once never share one.
  std::string temporary = path + ".zapis~XXXXXX";
  const int descriptor = mkstemp(temporary.data());
  if (descriptor < 0) return false;
  fchmod(descriptor, 0644);
  std::FILE* file = fdopen(descriptor, "wb");
  if (!file) {
    close(descriptor);
    std::remove(temporary.c_str());
    return false;
  }
  bool ok = write(file);
  ok = std::fflush(file) == 0 && ok;
  ok = std::fclose(file) == 0 && ok;
  if (!ok || !ReplaceFileWith(temporary.c_str(), path.c_str())) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}
