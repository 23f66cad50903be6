// Ink decided against the paper around it, for photos and uneven scans:
// the paper's luminance is estimated across the picture, each pixel is
// taken relative to it, and ink is what is darker (lighter, for light ink)
// than the paper by more than the paper's own grain reaches.
#pragma once

#include "decode/gray_image.h"
#include "ink/ink_mask.h"

// Rewrites the luminance in place as the mask (1 ink, 0 paper) and says
// what it decided; threshold is on the picture relative to its paper (the
// paper at 255). kind: kAuto decides dark or light by which side of the
// paper the ink lies on. Memory: a few rows and a coarse grid, and a stack
// as long as the faint ink joined to clear ink.
// threads: how many threads the picture may use.
InkDecision MakeLocalInkMask(GrayImage& image, InkKind kind, int threads = 1);
