#include "cli/console_services.h"

#include <cstdio>

#include "cli/messages.h"
#include "document/platform_seam.h"

namespace {

std::vector<std::string> shown;
bool quitRequested = false;

}  // namespace

std::vector<std::string> TakeShownMessages() {
  std::vector<std::string> messages;
  messages.swap(shown);
  return messages;
}

bool QuitRequested() {
  return quitRequested;
}

void ShowMessage(void*, const char* text, const char*) {
  shown.push_back(DocumentMessage(text));
}

void RequestQuit(int) {
  quitRequested = true;
}

void PresentDisplayImage(void*) {}

int ReplaceFileWith(const char* source, const char* destination) {
  return std::rename(source, destination) == 0 ? 1 : 0;
}
