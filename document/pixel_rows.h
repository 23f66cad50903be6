#pragma once

#include <cstdint>

// The per-pixel work of loading and drawing, one row at a time. Both are
// plain loops the compiler turns into byte shuffles where the processor has
// them (SSSE3), chosen once at run time.

// Gray bytes of width 24-bit pixels: the sum of the three channels over 3.
void GrayRow(const unsigned char* pixels, unsigned char* gray, int64_t width);

// The rendition of one row: green where the gray byte is not 0, else black.
void DisplayRow(const unsigned char* gray, unsigned char* pixels, int64_t width);
