#include "tests/recording_seam.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

#include "document/platform_seam.h"

std::vector<RecordedMessage> recordedMessages;
std::vector<int> recordedQuits;
int presentCount = 0;

void ClearRecordings() {
  recordedMessages.clear();
  recordedQuits.clear();
  presentCount = 0;
}

void ShowMessage(void*, const char* text, const char* caption) {
  recordedMessages.push_back({text, caption});
}

void RequestQuit(int exitCode) {
  recordedQuits.push_back(exitCode);
}

void PresentDisplayImage(void*) {
  ++presentCount;
}

int ReplaceFileWith(const char* source, const char* destination) {
#ifdef _WIN32
  return MoveFileExA(source, destination, MOVEFILE_REPLACE_EXISTING) ? 1 : 0;
#else
  return std::rename(source, destination) == 0 ? 1 : 0;
#endif
}
