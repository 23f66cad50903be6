#!/usr/bin/env python3
"""Writes sample pictures to examples/: white one-pixel lines on black,
24-bit BMP files the program reads (a spiral, a curve and an L)."""
import math, pathlib, struct

def bmp(width, height, lit):
    stride = (3 * width + 3) & ~3
    rows = bytearray(stride * height)
    for x, y in lit:
        i = (height - 1 - y) * stride + 3 * x
        rows[i:i + 3] = b'\xff\xff\xff'
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return struct.pack('<2sIHHI', b'BM', 54 + len(rows), 0, 0, 54) + info + rows

def thin(points):
    """Joins points into an 8-connected line without square corners."""
    line = []
    for x, y in points:
        x, y = round(x), round(y)
        while line and (line[-1][0], line[-1][1]) != (x, y):
            px, py = line[-1]
            step = (px + (x > px) - (x < px), py + (y > py) - (y < py))
            line.append(step)
        if not line:
            line.append((x, y))
    # Drop pixels that would make a corner of three mutual neighbours.
    out = []
    for p in line:
        out.append(p)
        if len(out) >= 3 and abs(out[-3][0] - p[0]) <= 1 and abs(out[-3][1] - p[1]) <= 1:
            del out[-2]
    return out

import sys
here = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent / 'examples'
here.mkdir(exist_ok=True)
spiral = thin([(200 + 4 * t * math.cos(t), 200 + 4 * t * math.sin(t))
               for t in (i * 0.01 for i in range(400, 4400))])
(here / 'spiral.bmp').write_bytes(bmp(400, 400, spiral))
curve = thin([(20 + x, 150 + 100 * math.sin(x / 60)) for x in range(0, 560)])
(here / 'curve.bmp').write_bytes(bmp(600, 300, curve))
ell = [(50, y) for y in range(30, 200)] + [(x, 200) for x in range(51, 250)]
(here / 'l-shape.bmp').write_bytes(bmp(300, 240, ell))
