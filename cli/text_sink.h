// Text files written a block at a time through a temporary file, and the
// number formats the exporters share.
#pragma once

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

// Text on its way to a file, written a block at a time: a drawing of a
// million strokes is never held whole as text.
class Sink {
 public:
  explicit Sink(std::FILE* file) : file_(file) {}
  Sink& operator+=(const std::string& text) { return Add(text.data(), text.size()); }
  Sink& operator+=(const char* text) { return Add(text, std::strlen(text)); }
  // Writes what is left; false when any write failed.
  bool Close();

 private:
  static constexpr size_t kBlock = 1 << 16;
  Sink& Add(const char* text, size_t length) {
    buffer_.append(text, length);
    if (buffer_.size() >= kBlock) Flush();
    return *this;
  }
  void Flush();
  std::FILE* file_;
  std::string buffer_;
  bool ok_ = true;
};

// Writes through a sink into a file that replaces path once complete.
bool WriteStreamed(const std::string& path, const std::function<void(Sink&)>& write);

// printf into a string of up to 127 characters.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A number to the given decimal places, without trailing zeros ("-0" is "0").
std::string Number(double value, int places = 3);
