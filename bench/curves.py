#!/usr/bin/python3
"""Lines and arcs (--curves) against polylines at the same tolerance, on
random seeded drawings of three kinds and on the bench's pages:

  circles   rings and arcs, 1 to 8 px wide
  curves    waves, spirals and smooth loops
  straight  straight lines, polygons and zigzags only

Per kind and tolerance: the path segments and SVG bytes with and without
--curves, their ratio, the largest distance measured from any centreline
point (traced at -e 0.001) to the curves (never above epsilon; measured
against samples 0.05 px apart, so up to 0.025 px over the true distance),
and potrace's segments (curves and lines of its outlines) on the same
pictures for scale. With --pages FOLDER (bench/make_drawings.py's), the A4
page and the spiral too, and the A4 page's time with and without --curves
in one hyperfine run.

Usage: curves.py KWINDRA-CLI [--drawings N] [--pages FOLDER] [--keep DIR]
"""
import argparse
import json
import math
import os
import random
import re
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image, ImageDraw
from scipy.spatial import cKDTree

parser = argparse.ArgumentParser()
parser.add_argument('cli')
parser.add_argument('--drawings', type=int, default=10, help='drawings of each kind')
parser.add_argument('--pages', help="make_drawings.py's folder: the A4 page and the spiral too")
parser.add_argument('--keep', help='leave the pictures and outputs here')
args = parser.parse_args()
cli = os.path.abspath(args.cli)
work = args.keep or tempfile.mkdtemp(prefix='kwindra-curves.')
os.makedirs(work, exist_ok=True)


def ensure(command, package):
    """Installs a peer's Debian package when missing (as root)."""
    if subprocess.run(['which', command], capture_output=True).returncode != 0:
        subprocess.run(['apt-get', 'install', '-y', package], check=True, capture_output=True)


def draw(kind, seed):
    """A random 800 x 600 drawing of the kind, anti-aliased (drawn 4 x larger)."""
    rng = random.Random(f'{kind}-{seed}')
    w, h, s = 800, 600, 4
    im = Image.new('L', (w * s, h * s), 255)
    d = ImageDraw.Draw(im)
    for _ in range(rng.randint(4, 9)):
        width = rng.randint(1, 8) * s
        cx, cy = rng.uniform(80, w - 80), rng.uniform(80, h - 80)
        r = rng.uniform(15, min(cx, cy, w - cx, h - cy) - 10)
        box = [(cx - r) * s, (cy - r) * s, (cx + r) * s, (cy + r) * s]
        if kind == 'circles':
            if rng.random() < 0.5:
                d.ellipse(box, outline=0, width=width)
            else:
                start = rng.uniform(0, 360)
                d.arc(box, start, start + rng.uniform(30, 320), fill=0, width=width)
        elif kind == 'curves':
            choice = rng.choice(['wave', 'spiral', 'loop'])
            t = np.linspace(0, 1, 600)
            if choice == 'wave':
                length, a = rng.uniform(200, w - 100), rng.uniform(10, 60)
                x0 = rng.uniform(40, w - 40 - length)
                xs, ys = x0 + length * t, cy + a * np.sin(2 * np.pi * rng.uniform(0.5, 3) * t)
            elif choice == 'spiral':
                turns = rng.uniform(1, 3)
                xs = cx + r * (0.2 + 0.8 * t) * np.cos(2 * np.pi * turns * t)
                ys = cy + r * (0.2 + 0.8 * t) * np.sin(2 * np.pi * turns * t)
            else:
                lobes = rng.randint(2, 5)
                radius = r * (0.7 + 0.3 * np.cos(2 * np.pi * lobes * t))
                xs, ys = cx + radius * np.cos(2 * np.pi * t), cy + radius * np.sin(2 * np.pi * t)
            # A round pen along the curve: PIL's wide polylines have ragged edges.
            step = np.hypot(np.diff(xs), np.diff(ys)).sum() * s / 2
            t2 = np.linspace(0, 1, int(step) + 2)
            for x, y in zip(np.interp(t2, t, xs) * s, np.interp(t2, t, ys) * s):
                d.ellipse([x - width / 2, y - width / 2, x + width / 2, y + width / 2], fill=0)
        else:
            n = rng.randint(2, 6)
            points = [(rng.uniform(40, w - 40) * s, rng.uniform(40, h - 40) * s) for _ in range(n)]
            d.line(points, fill=0, width=width)
    path = os.path.join(work, f'{kind}-{seed}.pgm')
    im.resize((w, h), Image.LANCZOS).save(path)
    return path


def trace(picture, folder, *options):
    subprocess.run([cli, '-q', '--json', '--svg', '-o', folder, *options, picture], check=True)
    stem = os.path.splitext(os.path.basename(picture))[0]
    return json.load(open(os.path.join(folder, stem + '.json'))), \
        os.path.getsize(os.path.join(folder, stem + '.svg'))


def segments(run):
    return sum(len(s['points']) - 1 for s in run['strokes'])


def samples(stroke, step=0.05):
    """Points along a JSON stroke's pieces about step apart."""
    points = np.array(stroke['points'], dtype=float)
    kinds = stroke.get('segments') or [{'kind': 'line'}] * (len(points) - 1)
    out = [points[:1]]
    for i, segment in enumerate(kinds):
        a, b = points[i], points[i + 1]
        if segment['kind'] == 'line':
            n = max(1, int(math.dist(a, b) / step) + 1)
            t = np.linspace(0, 1, n + 1)[1:, None]
            out.append(a + (b - a) * t)
        else:
            c, r, sweep = np.array(segment['centre']), segment['radius'], math.radians(segment['sweep'])
            start = math.atan2(a[1] - c[1], a[0] - c[0])
            n = max(1, int(abs(sweep) * r / step) + 1)
            angle = start + sweep * np.linspace(0, 1, n + 1)[1:]
            out.append(np.column_stack([c[0] + r * np.cos(angle), c[1] + r * np.sin(angle)]))
    return np.concatenate(out)


def deviation(dense, curves):
    """The largest distance from a centreline point to the curves, stroke by
    stroke (both runs find the same strokes in the same order)."""
    worst = 0.0
    assert len(dense['strokes']) == len(curves['strokes'])
    for a, b in zip(dense['strokes'], curves['strokes']):
        worst = max(worst, cKDTree(samples(b)).query(np.array(a['points']))[0].max())
    return worst


def potrace_segments(picture):
    """potrace's outline segments (each curve or line of its paths)."""
    ensure('potrace', 'potrace')
    svg = subprocess.run(['potrace', '-b', 'svg', '-o', '-', picture], check=True,
                         capture_output=True, text=True).stdout
    count = 0
    for path in re.findall(r' d="([^"]*)"', svg):
        for command, numbers in re.findall(r'([a-zA-Z])([^a-zA-Z]*)', path):
            values = len(re.findall(r'-?[0-9.]+', numbers))
            count += {'c': values // 6, 'C': values // 6, 'l': values // 2, 'L': values // 2}.get(command, 0)
    return count


def measure(name, pictures, epsilon):
    totals = dict(lines=0, curves=0, lines_bytes=0, curves_bytes=0, potrace=0, worst=0.0)
    for picture in pictures:
        folder = os.path.join(work, f'e{epsilon}')
        dense, _ = trace(picture, os.path.join(folder, 'dense'), '-e', '0.001')
        lines, lines_bytes = trace(picture, os.path.join(folder, 'lines'), '-e', str(epsilon))
        curves, curves_bytes = trace(picture, os.path.join(folder, 'curves'), '-e', str(epsilon), '--curves')
        totals['lines'] += segments(lines)
        totals['curves'] += segments(curves)
        totals['lines_bytes'] += lines_bytes
        totals['curves_bytes'] += curves_bytes
        totals['worst'] = max(totals['worst'], deviation(dense, curves))
        totals['potrace'] += potrace_segments(picture)
    t = totals
    print(f"| {name} | {epsilon} | {t['lines']} | {t['curves']} | {t['lines'] / max(1, t['curves']):.2f} x "
          f"| {t['lines_bytes'] / 1024:.0f} KB | {t['curves_bytes'] / 1024:.0f} KB | {t['worst']:.3f} "
          f"| {t['potrace']} |", flush=True)
    return t['worst'] <= epsilon + 0.025


def timing(page):
    ensure('hyperfine', 'hyperfine')
    out = os.path.join(work, 'timing.json')
    folder = os.path.join(work, 'timing')
    subprocess.run(['hyperfine', '-w', '1', '-r', '5', '-N', '--export-json', out,
                    f'{cli} -q --svg -o {folder} {page}',
                    f'{cli} -q --svg --curves -o {folder} {page}'], check=True, capture_output=True)
    results = json.load(open(out))['results']
    plain, curved = results[0]['mean'], results[1]['mean']
    print(f'\n{os.path.basename(page)}: polylines {plain:.2f} s, --curves {curved:.2f} s: '
          f'--curves adds {100 * (curved / plain - 1):.0f} % (hyperfine, 5 runs each, one run)')


def main():
    print(f'Pictures and outputs in {work}\n')
    print('| drawings | epsilon px | polyline segments | curves segments | fewer | SVG polylines '
          '| SVG curves | max distance px | potrace segments |')
    print('|---|---|---|---|---|---|---|---|---|')
    ok = True
    for kind in ('circles', 'curves', 'straight'):
        pictures = [draw(kind, seed) for seed in range(1, args.drawings + 1)]
        for epsilon in (0.5, 1.0):
            ok &= measure(f'{kind} ({args.drawings})', pictures, epsilon)
    if args.pages:
        for page in ('a4.pgm', 'spiral.pgm'):
            ok &= measure(page, [os.path.join(args.pages, page)], 1.0)
        timing(os.path.join(args.pages, 'a4.pgm'))
    if not ok:
        print('FAIL: a centreline point lies farther than epsilon from the curves')
        sys.exit(1)


main()
