// The ink mask as a 1-bit PNG, ink black on white paper, so that a user
// sees what will be traced.
#pragma once

#include <string>

#include "decode/gray_image.h"

// mask holds 1 for ink and 0 for paper. Written through a temporary file
// beside path, which replaces path only when complete; false on failure.
bool WriteMaskPng(const std::string& path, const GrayImage& mask);
