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

uint8_t NeighbourCode(const GrayImage& mask, int64_t x, int64_t y);

// Whether a pixel with this neighbourhood can go without changing the
// connections of ink (8-connected) or paper (4-connected).
bool IsSimple(uint8_t code);

// mask: 1 ink, 0 paper; afterwards 1 marks the skeleton. distances: the
// chamfer map of the mask. Returns false when memory runs out.
// Time linear in the pixels; memory 4 bytes an ink pixel.
bool ThinToSkeleton(GrayImage& mask, const uint8_t* distances);
