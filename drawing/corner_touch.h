// Where two lines one pixel wide only touch, corner to corner: links of
// the 8-connected ink that the thinning and the walk over the skeleton
// leave out, so that two lines passing close stay two lines.
#pragma once

#include <cstdint>

#include "decode/gray_image.h"

// Bits 4 to 7 of a mask byte mark its corner links in ring directions 1,
// 3, 5 and 7 (NE, NW, SW, SE) that are touches.
constexpr int kTouchShift = 4;
constexpr uint8_t kTouchBits = 0xF0;

// The touches a mask byte marks, as ring bits of a neighbourhood code.
inline uint8_t TouchLinks(uint8_t byte) {
  const unsigned t = byte >> kTouchShift;
  return static_cast<uint8_t>((t & 1) << 1 | (t & 2) << 2 | (t & 4) << 3 | (t & 8) << 4);
}

// Marks, on every ink pixel of the mask (bit 0), its corner links to ink
// it only touches: the two pixels beside the link are paper, and the link
// joins two lines running alongside each other rather than one line's
// pixels or a line ending on another. Aliased lines of one pixel, a pixel
// of paper apart, touch so at their stairs' steps all along, and their
// ends may touch the other line. distances: the mask's chamfer map. The
// same marks on any number of threads. Linear in the pixels; a pixel
// beside paper with a corner link looks at the ink within six pixels.
void MarkCornerTouches(GrayImage& mask, const uint8_t* distances, int threads = 1);

// Whether ink pixel (x, y)'s diagonal neighbour by (dx, dy) only touches
// it at a corner: the two pixels beside the link are paper. distances:
// nonzero on ink.
inline bool BareCorner(const uint8_t* distances, int64_t width, int64_t height, int64_t x,
                       int64_t y, int64_t dx, int64_t dy) {
  if (x + dx < 0 || y + dy < 0 || x + dx >= width || y + dy >= height) return false;
  return distances[(y + dy) * width + x + dx] != 0 && distances[y * width + x + dx] == 0 &&
         distances[(y + dy) * width + x] == 0;
}
