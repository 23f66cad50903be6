// Pictures stored sideways or mirrored (the orientation of EXIF and TIFF,
// 1 to 8) turned the way every viewer shows them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decode/gray_image.h"

// The orientation tag (0x0112) of an EXIF block (the APP1 payload after
// "Exif\0\0": a TIFF header and its first directory); 1 when it has none
// or the block is broken.
int ExifOrientation(const uint8_t* data, size_t size);

// Turns the picture as the orientation says: 2 to 4 mirror in place, 5 to
// 8 turn a quarter into a new buffer (a second byte a pixel while it
// turns). Other values leave it as stored. False when out of memory.
bool Orient(GrayImage& image, int orientation);
