// Thins the ink mask to a one-pixel, 8-connected skeleton that keeps the
// topology: pixels are taken off in the order of their distance from the
// paper, outside first, so that what stays lies on the middle of the
// stroke; a pixel goes only when it is simple (its removal joins or splits
// nothing) and is not the end of a line.
#pragma once

#include <cstdint>

#include "decode/gray_image.h"

// Bit k of a neighbourhood code is set when neighbour k is ink; k runs
// counter-clockwise from east: E, NE, N, NW, W, SW, S, SE.
constexpr int kRingX[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr int kRingY[8] = {0, -1, -1, -1, 0, 1, 1, 1};

uint8_t NeighbourCodeAtEdge(const GrayImage& mask, int64_t x, int64_t y);

// Bit 0 of each mask byte is the ink; the other bits are the stages' own.
inline uint8_t NeighbourCode(const GrayImage& mask, int64_t x, int64_t y) {
  if (x <= 0 || y <= 0 || x + 1 >= mask.width || y + 1 >= mask.height) {
    return NeighbourCodeAtEdge(mask, x, y);
  }
  const uint8_t* above = mask.Row(y - 1) + x;
  const uint8_t* row = mask.Row(y) + x;
  const uint8_t* below = mask.Row(y + 1) + x;
  return static_cast<uint8_t>((row[1] & 1) | (above[1] & 1) << 1 | (above[0] & 1) << 2 |
                              (above[-1] & 1) << 3 | (row[-1] & 1) << 4 | (below[-1] & 1) << 5 |
                              (below[0] & 1) << 6 | (below[1] & 1) << 7);
}

// How many of the eight neighbours a code holds.
int NeighbourCount(uint8_t code);

// Fills the tips of notches: a paper pixel whose four side neighbours are
// ink and which touches other paper at one corner only. Digitizing a sharp
// inner corner leaves such a pixel, and for 4-connected paper it is a hole
// that thinning must keep as a loop; to the eye it is the notch's end.
// Returns how many were filled.
int64_t FillNotchTips(GrayImage& mask);

// mask: 1 ink, 0 paper; afterwards bit 0 marks the skeleton, and bits 4
// to 7 its links to lines it only touches (corner_touch.h), which the
// thinning leaves out. distances: the
// chamfer map of the mask. Returns false when memory runs out. The same
// skeleton on any number of threads.
// Time linear in the pixels; memory 4 bytes an ink pixel.
bool ThinToSkeleton(GrayImage& mask, const uint8_t* distances, int threads = 1);
