#!/usr/bin/python3
"""How far the drawing mode puts the ends of straight lines from the true
ones: per width, a picture of COUNT lines 16 to 28 px long at random
slopes and sub-pixel offsets, each in a cell of its own, drawn as
random_drawings.py draws (1 px aliased, the rest anti-aliased with round
caps). Each true end is matched to the nearest end found; the table gives
the largest and the 99th percentile of those distances, the mean overshoot
along the line (positive: out past the true end) and how many ends lie
more than 0.8 and 1 px off (the limit is 1 px). With --curl each line
curls at one end, 60 to 120 degrees round an arc of radius w / 2 + 1 to
1.5 w + 1 (the tail of an s or a hook; tighter, the ink shows a blob).

    bench/line_ends.py CLI [--widths 1.5,2,2.5,3] [--count 400] [--seed 1] [--curl]
"""
import argparse
import json
import math
import os
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from random_drawings import dense, render  # noqa: E402

COLUMNS = 16


def cell(curl):
    return 64 if curl else 48


def lines(count, rng, w, curl):
    """COUNT polylines, one a cell, about the cell's centre: a segment, or
    a segment and an arc curling off its second end."""
    out, size = [], cell(curl)
    for i in range(count):
        cx = (i % COLUMNS) * size + size / 2 + rng.uniform(-0.5, 0.5)
        cy = (i // COLUMNS) * size + size / 2 + rng.uniform(-0.5, 0.5)
        a, half = rng.uniform(0, 2 * math.pi), rng.uniform(8, 14)
        dx, dy = half * math.cos(a), half * math.sin(a)
        points = [(cx - dx, cy - dy), (cx + dx, cy + dy)]
        if curl:
            radius = rng.uniform(w / 2 + 1, 1.5 * w + 1)
            turn, side = math.radians(rng.uniform(60, 120)), rng.choice([-1, 1])
            ox, oy = points[1][0] - side * radius * math.sin(a), points[1][1] + side * radius * math.cos(a)
            for k in range(1, 25):
                t = a + side * turn * k / 24
                points.append((ox + side * radius * math.sin(t), oy - side * radius * math.cos(t)))
        out.append(points)
    return out


def measure(cli, w, count, rng, folder, curl=False):
    segments = lines(count, rng, w, curl)
    rows = (count + COLUMNS - 1) // COLUMNS
    gray = render((COLUMNS * cell(curl), rows * cell(curl)), np.concatenate([dense(s) for s in segments]), w)
    path = os.path.join(folder, f'ends-{w}.png')
    Image.fromarray(gray).save(path)
    subprocess.run([cli, '-q', '--json', '-e', '0.001', '-o', folder, path], check=True)
    run = json.load(open(path[:-4] + '.json'))
    found = np.array([e for s in run['strokes'] for e in (s['points'][0], s['points'][-1])])
    off, out = [], []
    for pts in segments:
        for end, other in ((pts[0], pts[1]), (pts[-1], pts[-2])):
            d = np.hypot(found[:, 0] - end[0], found[:, 1] - end[1])
            k = int(d.argmin())
            u = np.subtract(end, other) / math.dist(end, other)
            off.append(d[k])
            out.append(float(np.subtract(found[k], end) @ u))
    return len(run['strokes']), np.array(off), np.array(out)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('cli')
    parser.add_argument('--widths', default='1,1.5,2,2.5,3,3.5,4')
    parser.add_argument('--count', type=int, default=400)
    parser.add_argument('--seed', type=int, default=1)
    parser.add_argument('--curl', action='store_true')
    args = parser.parse_args()
    rng = np.random.default_rng(args.seed)
    folder = tempfile.mkdtemp(prefix='kwindra-ends.')
    print('| width | lines | strokes | max off | p99 off | mean overshoot | over 0.8 px | over 1 px |')
    print('|---|---|---|---|---|---|---|---|')
    for w in (float(x) for x in args.widths.split(',')):
        strokes, off, out = measure(os.path.abspath(args.cli), w, args.count, rng, folder,
                                    args.curl)
        print(f'| {w:g} | {args.count} | {strokes} | {off.max():.2f} px | '
              f'{np.percentile(off, 99):.2f} px | {out.mean():+.2f} px | {(off > 0.8).sum()} | '
              f'{(off > 1).sum()} |', flush=True)


if __name__ == '__main__':
    main()
