// Chamfer (3, 4) distance of every ink pixel to the nearest paper pixel:
// 3 a straight step, 4 a diagonal one, within 6 % of Euclid's. Two raster
// passes, linear in the pixels; outside the picture is paper.
#pragma once

#include <cstdint>
#include <memory>

#include "decode/gray_image.h"

constexpr int kStraightStep = 3;
constexpr int kDiagonalStep = 4;

// 0 on paper, at least 3 on ink, clamped to 255. The same map on any
// number of threads.
std::unique_ptr<uint8_t[]> ChamferDistances(const GrayImage& mask, int threads = 1);
