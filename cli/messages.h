// The command line's texts in the user's language: English by default,
// Polish (and any other catalogue installed) under a matching locale,
// through gettext; the catalogues are found beside the program.
#pragma once

#include <string>

// Marks a text for the catalogue where it is translated later.
#define N_(english) english

// Sets the locale from the environment and finds the catalogues: in
// "locale" beside the program (the build tree) or in "../share/locale"
// (an installed or unpacked package).
void InitMessages();

// The translation of an English text (UTF-8).
const char* Tr(const char* english);

// The translation of an English printf format, filled in.
std::string Trf(const char* english, ...) __attribute__((format(printf, 1, 2)));

// A message of the window program's document code (Windows-1250 Polish),
// as the command line tells it: translated like its own texts.
std::string DocumentMessage(const char* cp1250);
