#include "cli/messages.h"

#include <libintl.h>
#include <unistd.h>

#include <clocale>
#include <cstdarg>
#include <cstring>
#include <filesystem>

#include "cli/terminal_text.h"
#include "document/texts.h"

namespace {

constexpr char kDomain[] = "kwindra-cli";

std::filesystem::path ProgramFolder() {
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  buffer[n] = '\0';
  return std::filesystem::path(buffer).parent_path();
}

}  // namespace

void InitMessages() {
  std::setlocale(LC_ALL, "");
  // Numbers are written and read with a point whatever the language.
  std::setlocale(LC_NUMERIC, "C");
  const std::filesystem::path folder = ProgramFolder();
  std::error_code error;
  for (const char* place : {"locale", "../share/locale"}) {
    const std::filesystem::path catalogues = folder / place;
    if (std::filesystem::is_directory(catalogues, error)) {
      bindtextdomain(kDomain, catalogues.c_str());
      break;
    }
  }
  bind_textdomain_codeset(kDomain, "UTF-8");
}

const char* Tr(const char* english) {
  return dgettext(kDomain, english);
}

std::string Trf(const char* english, ...) {
  char buffer[1024];
  va_list arguments;
  va_start(arguments, english);
  std::vsnprintf(buffer, sizeof buffer, Tr(english), arguments);
  va_end(arguments);
  return buffer;
}

std::string DocumentMessage(const char* cp1250) {
  // The document's texts, and what the command line calls them.
  static const struct {
    const char* text;
    const char* english;
  } kKnown[] = {
      {kTextOutOfMemory, N_("Out of memory!")},
      {kTextOnly24Bit, N_("Sorry, only 24-bit colour pictures can be played with")},
      {kTextDamagedBmp, N_("Damaged or unsupported BMP file")},
      {kTextWriteError, N_("Error writing the file!")},
      {kTextNothingToSave, N_("Nothing to save!")},
      {kTextNoLineEnd, N_("No end of a line found")},
      {kTextChainCut, N_("The line is too long or loops - cut after 100000 steps")},
      {kTextPointsCut, N_("Too many critical points - the first 500 kept")},
      {kTextEpsilonPositive, N_("Epsilon must be positive")},
  };
  for (const auto& known : kKnown) {
    if (std::strcmp(cp1250, known.text) == 0) return Tr(known.english);
  }
  return Utf8FromCp1250(cp1250);
}
