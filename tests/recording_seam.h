// A stand-in for the window system that records what the document asked of it.
#pragma once

#include <string>
#include <vector>

struct RecordedMessage {
  std::string text;
  std::string caption;
};

extern std::vector<RecordedMessage> recordedMessages;
extern std::vector<int> recordedQuits;
extern int presentCount;

void ClearRecordings();
