// Streamed text output and its number formats.
#include "cli/text_sink.h"

#include <cmath>
#include <cstdarg>

#include "cli/file_output.h"

bool Sink::Close() {
  Flush();
  return ok_;
}

void Sink::Flush() {
  ok_ = ok_ && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) == buffer_.size();
  buffer_.clear();
}

bool WriteStreamed(const std::string& path, const std::function<void(Sink&)>& write) {
  return WriteReplacing(path, [&](std::FILE* file) {
    Sink sink(file);
    write(sink);
    return sink.Close();
  });
}

std::string Format(const char* format, ...) {
  char buffer[128];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  return buffer;
}

std::string Number(double value, int places) {
  const double scale = std::pow(10.0, places);
  std::string text = Format("%.*f", places, std::round(value * scale) / scale);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return text == "-0" ? "0" : text;
}
