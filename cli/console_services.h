#pragma once

#include <string>
#include <vector>

// The command-line program's side of the document's window-system seam:
// messages are collected for the caller to print, a quit request is
// remembered, nothing is presented, files are renamed in place.

// The messages shown since the last call, in the user's language (UTF-8),
// oldest first.
std::vector<std::string> TakeShownMessages();

// Whether the document asked to quit (it does when memory runs out).
bool QuitRequested();
