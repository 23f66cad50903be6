#!/usr/bin/env python3
"""Writes the seed corpus for the reader's fuzzer: valid pictures of odd
widths, top-down, larger headers, and each malformed class."""
import pathlib, struct, sys

out = pathlib.Path(sys.argv[1])
out.mkdir(parents=True, exist_ok=True)

def bmp(w, h, info=40, bits=24, comp=0, used=0, gap=0, delta=0, top=False, lit=()):
    stride = (3 * w + 3) & ~3
    rows = bytearray(stride * h)
    for x, y in lit:
        r = y if top else h - 1 - y
        rows[r * stride + 3 * x: r * stride + 3 * x + 3] = b'\xff\xff\xff'
    header = struct.pack('<IiiHHIIiiII', info, w, -h if top else h, 1, bits, comp, len(rows), 0, 0, used, 0)
    header += bytes(max(0, info - 40))
    offset = 14 + info + gap
    body = header + bytes(gap) + rows
    return struct.pack('<2sIHHI', b'BM', 14 + len(body) + delta, 0, 0, offset) + body

line = [(x, 2) for x in range(1, 6)]
seeds = {
    'line-7x5': bmp(7, 5, lit=line),
    'odd-1x1': bmp(1, 1, lit=[(0, 0)]),
    'odd-3x2': bmp(3, 2, lit=[(0, 0), (1, 1)]),
    'top-down': bmp(7, 5, top=True, lit=line),
    'v4-header': bmp(7, 5, info=108, lit=line),
    'v5-header': bmp(7, 5, info=124, top=True, lit=line),
    'gap': bmp(7, 5, gap=6, lit=line),
    'square-corner': bmp(6, 6, lit=[(1, 1), (2, 1), (3, 1), (3, 2), (3, 3)]),
    'palette': bmp(4, 4, bits=8, used=2),
    'bits-32': bmp(4, 4, bits=32),
    'rle': bmp(4, 4, comp=1),
    'total-small': bmp(4, 4, delta=-1),
    'total-large': bmp(4, 4, delta=1000),
    'header-12': bmp(4, 4, info=12),
}
for name, data in seeds.items():
    (out / name).write_bytes(data)
(out / 'truncated').write_bytes(seeds['line-7x5'][:60])
