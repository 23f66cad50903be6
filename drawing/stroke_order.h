// Puts the strokes in an order with short pen-up travel: from the pen's
// position the nearest free stroke end next, an open stroke reversed when
// its far end was the nearer. Greedy, on a grid of the stroke ends:
// about linear in the strokes for drawings of evenly spread strokes.
#pragma once

#include "drawing/drawing.h"

void OrderStrokes(Drawing& drawing);

// The pen-up travel of the strokes in their present order.
double PenUpLength(const Drawing& drawing);
