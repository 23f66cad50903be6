#pragma once

#include <cstdint>

// Rewrites the pixel rows of the file image as green line pixels on black,
// marks the critical points red and hands the rendition to the screen.
void BuildDisplayImage(void* ownerWindow);

// The two halves of the rebuild, for the reader, which draws each slice of
// rows as soon as it is read. DrawDisplayRows draws the bottom-up rows
// [first, last) of a width x height rendition from the top-down gray raster.
void DrawDisplayRows(unsigned char* rows, const unsigned char* gray, int64_t width, int64_t height,
                     int64_t first, int64_t last);
void FinishDisplayImage(void* ownerWindow);
