#!/usr/bin/env python3
"""Writes resources/kwindra.ico: a 32 x 32, 16-colour icon of a green
polyline with red critical points on black."""
import struct, sys, pathlib

SIZE = 32
palette = [(0, 0, 0)] * 16
palette[1] = (0, 255, 0)   # line: green
palette[2] = (255, 0, 0)   # critical points: red
palette[3] = (255, 255, 255)
points = [(3, 27), (12, 8), (20, 22), (28, 4)]

pixels = [[0] * SIZE for _ in range(SIZE)]
for (x0, y0), (x1, y1) in zip(points, points[1:]):
    steps = max(abs(x1 - x0), abs(y1 - y0))
    for s in range(steps + 1):
        x = round(x0 + (x1 - x0) * s / steps)
        y = round(y0 + (y1 - y0) * s / steps)
        pixels[y][x] = 1
for x, y in points:
    for dx in (-1, 0, 1):
        for dy in (-1, 0, 1):
            pixels[y + dy][x + dx] = 2
for i in range(SIZE):  # a white frame
    pixels[0][i] = pixels[SIZE - 1][i] = pixels[i][0] = pixels[i][SIZE - 1] = 3

xor = bytearray()
for row in reversed(pixels):  # bottom-up
    for x in range(0, SIZE, 2):
        xor.append((row[x] << 4) | row[x + 1])
mask = bytes(4 * SIZE)  # all opaque
header = struct.pack('<IiiHHIIiiII', 40, SIZE, 2 * SIZE, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in palette)
image = header + colours + bytes(xor) + mask
icon = struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', SIZE, SIZE, 16, 0, 1, 4, len(image), 22)
out = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent / 'resources' / 'kwindra.ico')
out.write_bytes(icon + image)
