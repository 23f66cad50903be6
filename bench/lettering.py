#!/usr/bin/python3
"""The drawing mode on lettering of known centrelines: lines of text set in
the single-stroke Hershey fonts (Debian's hershey-fonts-data), at several
sizes and pen widths, drawn as random_drawings.py draws (1 px aliased, the
rest anti-aliased with round caps and joins) and checked against the same
limits both ways: 1 px in the open, the pen width where two pen strokes
come within reach of each other, 0.3 w + 1 near a corner of a glyph (a
turn of more than 25 degrees). The strokes' number is not checked: a
glyph's pen strokes are the font's, not the drawing's (a T drawn as one
bar and a stem, a B as one stroke). Filled areas are not counted against
it: a pen's dot over an i is one.

    bench/lettering.py CLI [--check] [--show DIR]
"""
import argparse
import json
import math
import os
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image, ImageDraw
from scipy.spatial import cKDTree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from random_drawings import dense, render  # noqa: E402

FONTS = '/usr/share/hershey-fonts'
TEXT = ['Kwindra traces lines', 'The quick brown fox', 'jumps over the lazy dog',
        'ABCDEFGHIJKLM', 'NOPQRSTUVWXYZ', '0123456789 &?!']
# (font, pixels a font unit, pen width in px)
SETS = [('rowmans', 2, 1), ('rowmans', 2, 3), ('rowmans', 3, 2), ('rowmans', 3, 5),
        ('rowmans', 4, 8), ('futural', 3, 3), ('futural', 5, 10), ('scripts', 3, 2),
        ('scripts', 4, 6), ('futural', 6, 14)]


def glyphs(name):
    """Each printable character's advance (left, right) and pen strokes, in
    font units (y downward), from a .jhf file: glyphs in ASCII order from
    the space, each a number, a count of pairs, then pairs of letters
    offset from 'R' (' R' lifts the pen)."""
    path = os.path.join(FONTS, name + '.jhf')
    if not os.path.exists(path):
        sys.exit(f'{path}: missing (apt-get install hershey-fonts-data)')
    out = {}
    for i, line in enumerate(open(path, encoding='ascii').read().splitlines()):
        count = int(line[5:8])
        pairs = [line[8 + 2 * k:10 + 2 * k] for k in range(count)]
        left, right = ord(pairs[0][0]) - 82, ord(pairs[0][1]) - 82
        strokes, pen = [], []
        for p in pairs[1:]:
            if p == ' R':
                if len(pen) > 1:
                    strokes.append(pen)
                pen = []
                continue
            pen.append((ord(p[0]) - 82, ord(p[1]) - 82))
        if len(pen) > 1:
            strokes.append(pen)
        out[chr(32 + i)] = (left, right, strokes)
    return out


def set_text(font, scale, w):
    """The lines of text as pen strokes in pixels, with a margin round
    every stroke (a script's glyphs reach out past their own advance)."""
    strokes = []
    m = w + 12
    y = 0
    for text in TEXT:
        x = 0
        for c in text:
            left, right, pens = font[c]
            for pen in pens:
                strokes.append([(x + (px - left) * scale, y + py * scale) for px, py in pen])
            x += (right - left) * scale
        y += 34 * scale
    points = np.array([p for pen in strokes for p in pen])
    dx, dy = m - points[:, 0].min(), m - points[:, 1].min()
    strokes = [[(px + dx, py + dy) for px, py in pen] for pen in strokes]
    size = points.max(axis=0) + (dx, dy) + m
    return strokes, (int(math.ceil(size[0])), int(math.ceil(size[1])))


def corners(strokes):
    """Vertices where a pen stroke turns by more than 25 degrees."""
    out = []
    for pts in strokes:
        for a, b, c in zip(pts, pts[1:], pts[2:]):
            u = (b[0] - a[0], b[1] - a[1])
            v = (c[0] - b[0], c[1] - b[1])
            nu, nv = math.hypot(*u), math.hypot(*v)
            if nu and nv and (u[0] * v[0] + u[1] * v[1]) / (nu * nv) < math.cos(math.radians(25)):
                out.append(b)
    return out


def passes_again(tree, part, points, own, reach):
    """Whether the pen stroke `part` passes within `reach` of each point
    a second time, more than twice the reach along it from the passage
    nearest the point (own: that passage's index): the waist of an 8, a
    loop of a script, where the stroke crosses or touches itself as two
    strokes would."""
    arc = np.concatenate([[0], np.cumsum(np.hypot(*np.diff(part, axis=0).T))])
    near = tree.query_ball_point(points, reach)
    counts = np.array([len(n) for n in near])
    found = np.zeros(len(points), bool)
    has = np.nonzero(counts)[0]
    if not len(has):
        return found
    flat = np.concatenate([near[k] for k in has]).astype(int)
    starts = np.concatenate([[0], np.cumsum(counts[has])[:-1]])
    lowest = np.minimum.reduceat(arc[flat], starts)
    highest = np.maximum.reduceat(arc[flat], starts)
    at = arc[own[has]]
    found[has] = (at - lowest > 2 * reach) | (highest - at > 2 * reach)
    return found


def tight_turns(parts, w):
    """The points of the pen strokes where they turn tighter than the ink
    can show: by half a circle or more within half a circle's arc of radius
    w / 2 + 1 (less than two pixels of paper between the legs, a bar twice
    as wide ending in a round cap, as the random drawings' U turns are
    never drawn)."""
    half = math.pi * (w / 2 + 1) / 2
    found = []
    for part in parts:
        step = np.diff(part, axis=0)
        length = np.hypot(*step.T)
        keep = length > 1e-9
        step, length = step[keep], length[keep]
        if len(step) < 3:
            continue
        t = step / length[:, None]
        turn = np.arctan2(t[:-1, 0] * t[1:, 1] - t[:-1, 1] * t[1:, 0], (t[:-1] * t[1:]).sum(axis=1))
        turned = np.concatenate([[0], np.cumsum(turn)])  # at each step
        arc = np.cumsum(length) - length / 2  # each step's middle
        lo = np.searchsorted(arc, arc - half)
        hi = np.minimum(np.searchsorted(arc, arc + half, side='right') - 1, len(arc) - 1)
        tight = np.abs(turned[hi] - turned[lo]) >= math.pi
        found.append((part[:-1][keep] + step / 2)[tight])
    return np.concatenate(found) if found else np.zeros((0, 2))


def limits(points, w, bends, parts):
    """As random_drawings.limits, for hundreds of pen strokes: the stroke
    width where two pen strokes, or two passages of one, lie within w + 1
    of the point (each stroke measured only over the points near its box)
    or within w + 1 of a turn tighter than the ink shows, 0.3 w + 1 near a
    corner, 1 px elsewhere."""
    reach = w + 1
    best = np.full((len(points), 2), np.inf)
    crossed = np.zeros(len(points), bool)  # a pen stroke crossing or touching itself
    for part in parts:
        lo, hi = part.min(axis=0) - reach, part.max(axis=0) + reach
        inside = np.nonzero(np.all((points >= lo) & (points <= hi), axis=1))[0]
        if not len(inside):
            continue
        tree = cKDTree(part)
        d, own = tree.query(points[inside])
        first, second = best[inside, 0], best[inside, 1]
        best[inside, 1] = np.where(d < first, first, np.minimum(second, d))
        best[inside, 0] = np.minimum(first, d)
        crossed[inside] |= passes_again(tree, part, points[inside], own, reach)
    turns = tight_turns(parts, w)
    if len(turns):
        crossed |= cKDTree(turns).query(points, distance_upper_bound=reach)[0] <= reach
    allowed = np.where((best[:, 1] <= reach) | crossed, max(w, 3), 1.0)
    if bends:
        near = cKDTree(np.array(bends)).query(points, distance_upper_bound=reach)[0] <= reach
        allowed[near] = np.maximum(allowed[near], 0.3 * w + 1)
    return allowed


def check(cli, name, scale, w, folder):
    font = glyphs(name)
    strokes, size = set_text(font, scale, w)
    gray = render(size, np.concatenate([dense(pts) for pts in strokes]), w)
    parts = [dense(pts, 0.2) for pts in strokes]  # enough to measure against
    truth = np.concatenate(parts)
    stem = f'{name}-{scale}-{w}'
    path = os.path.join(folder, stem + '.png')
    Image.fromarray(gray).save(path)
    result = subprocess.run([cli, '-q', '--json', '-e', '0.001', '-o', folder, path],
                            capture_output=True, text=True)
    if result.returncode != 0:
        return [result.stderr.strip()], np.zeros(1), (len(strokes), 0), None
    run = json.load(open(os.path.join(folder, stem + '.json')))
    lines = [np.array(s['points'], float) for s in run['strokes']]
    out = np.concatenate([dense([tuple(p) for p in l], 0.1) if len(l) > 1 else l for l in lines])
    bends = corners(strokes)
    d_out = cKDTree(truth).query(out)[0]
    d_truth = cKDTree(out).query(truth)[0]
    lim_out = limits(out, w, bends, parts)
    lim_truth = limits(truth, w, bends, parts)
    problems = []
    for d, lim, pts, what in ((d_out, lim_out, out, 'output'), (d_truth, lim_truth, truth, 'true')):
        over = d - lim
        if over.max() > 0:
            k = int(over.argmax())
            problems.append(f'{int((over > 0).sum())} {what} points over; the worst '
                            f'{pts[k].round(1).tolist()} is {d[k]:.2f} px off (limit {lim[k]:.1f})')
    open_d = np.concatenate([d_out[lim_out == 1.0], d_truth[lim_truth == 1.0]])
    return problems, open_d, (len(strokes), len(lines)), (gray, lines, path)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('cli')
    parser.add_argument('--check', action='store_true', help='exit 1 when a limit breaks')
    parser.add_argument('--show', help='the pictures with the strokes found, here')
    args = parser.parse_args()
    cli = os.path.abspath(args.cli)
    folder = args.show or tempfile.mkdtemp(prefix='kwindra-lettering.')
    os.makedirs(folder, exist_ok=True)
    print('| font | px a unit | pen | pen strokes | strokes found | p95 in the open | '
          'max in the open | within every limit |')
    print('|---|---|---|---|---|---|---|---|')
    failed = []
    for name, scale, w in SETS:
        problems, open_d, counts, drawn = check(cli, name, scale, w, folder)
        d = open_d if len(open_d) else np.zeros(1)
        print(f'| {name} | {scale} | {w} | {counts[0]} | {counts[1]} | '
              f'{np.percentile(d, 95):.2f} px | {d.max():.2f} px | {"yes" if not problems else "no"} |',
              flush=True)
        if problems:
            failed.append(f'{name} at {scale} px a unit, pen {w}: {"; ".join(problems)}')
        if args.show and drawn:
            gray, lines, path = drawn
            im = Image.fromarray(gray).convert('RGB')
            draw = ImageDraw.Draw(im)
            for l in lines:
                draw.line([(x, y) for x, y in l], fill=(230, 0, 0), width=1)
            im.save(path.replace('.png', '-shown.png'))
    for f in failed:
        print('not held:', f)
    if args.check and failed:
        sys.exit(1)


if __name__ == '__main__':
    main()
