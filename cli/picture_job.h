// One picture from file to outputs.
#pragma once

#include <string>
#include <vector>

#include "cli/options.h"

struct PictureResult {
  std::string line;                     // the result line; empty when refused
  std::vector<std::string> complaints;  // "FILE: why", each for stderr
};

// Thread-safe in the drawing mode (explicit buffers only); the single-line
// mode works on the window program's one document and takes one picture
// at a time.
PictureResult ProcessPicture(const Options& options, const std::string& input);
