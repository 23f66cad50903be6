#pragma once

#include <string>

// The program's texts are Windows-1250 bytes; terminals and files of the
// command-line program want UTF-8.
std::string Utf8FromCp1250(const char* text);
