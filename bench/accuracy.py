#!/usr/bin/python3
"""Centreline accuracy of the drawing mode on drawings of known centrelines.

Draws lines (one with specks of noise beside it), an arc, a circle, a
spiral, a polyline with corners down to 55 degrees, a square and a
triangle, crossings of 60 and 90
degrees and a T junction, anti-aliased with round caps and joins (4 x 4
samples a pixel) at each stroke width, and 1 px wide aliased; runs kwindra-cli on each with -e 0.001 and the default
tolerance, and measures both ways (output to truth, truth to output, ends
included) against the limits: 1 px in the open, the stroke width near
crossings and junctions, 0.3 x width + 1 near corners, epsilon + 1.5 with
the default tolerance; and the number of strokes, open or closed.

With --compare it also measures the pixel skeletons of Debian's
python3-skimage (skeletonize) and python3-opencv (ximgproc.thinning) on
the same masks. With --check it exits 1 when a limit is broken.

    bench/accuracy.py CLI [--widths 1,2,3] [--compare] [--check [--slack PX]] [--light]
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

SUB = 4  # samples a side in a pixel


def arc(cx, cy, r, a0, a1, n):
    return [(cx + r * math.cos(a0 + (a1 - a0) * k / n), cy + r * math.sin(a0 + (a1 - a0) * k / n))
            for k in range(n + 1)]


def shapes(width):
    """(name, size, polylines, closed flags, junction points, corner points, strokes)."""
    m = max(20, width + 8)
    out = []
    out.append(('line', (320, 240), [[(m, m), (320 - m, 240 - m)]], [False], [], [], 1))
    out.append(('shallow', (320, 120), [[(m, 50), (320 - m, 62)]], [False], [], [], 1))
    out.append(('arc', (320, 240), [arc(160, 30, 150, 0.5, 2.64, 120)], [False], [], [], 1))
    circle = arc(160, 160, 120 - width / 2, 0, 2 * math.pi, 180)
    out.append(('circle', (320, 320), [circle], [True], [], [], 1))
    pitch = max(40, 2.5 * width + 12)
    spiral = [(200 + (15 + pitch * t / (2 * math.pi)) * math.cos(t),
               200 + (15 + pitch * t / (2 * math.pi)) * math.sin(t))
              for t in np.linspace(0, 2.2 * 2 * math.pi, 400)]
    size = int(2 * (15 + pitch * 2.2) + 2 * m + width) + 10
    spiral = [(x - 200 + size / 2, y - 200 + size / 2) for x, y in spiral]
    out.append(('spiral', (size, size), [spiral], [False], [], [], 1))
    # Corners of 120, 90 and 55 degrees (interior angles).
    pts = [(m, 200)]
    heading = -math.pi / 2.6
    for interior in (120, 90, 55):
        x, y = pts[-1]
        pts.append((x + 90 * math.cos(heading), y + 90 * math.sin(heading)))
        heading += math.pi - math.radians(interior)
    x, y = pts[-1]
    pts.append((x + 90 * math.cos(heading), y + 90 * math.sin(heading)))
    xs, ys = [p[0] for p in pts], [p[1] for p in pts]
    pts = [(x - min(xs) + m, y - min(ys) + m) for x, y in pts]
    size = (int(max(xs) - min(xs) + 2 * m), int(max(ys) - min(ys) + 2 * m))
    out.append(('corners', size, [pts], [False], [], pts[1:-1], 1))
    # Closed polygons: a ring's corners, wherever its walk starts.
    square = [(m, m), (240 - m, m), (240 - m, 240 - m), (m, 240 - m), (m, m)]
    out.append(('square', (240, 240), [square], [True], [], square[:4], 1))
    triangle = [(m, 240 - m), (240 - m, 240 - m), (120, 240 - m - 180 * math.sin(math.radians(63))),
                (m, 240 - m)]
    out.append(('triangle', (240, 240), [triangle], [True], [], triangle[:3], 1))
    for angle in (60, 90):
        a = math.radians(angle) / 2
        c, r = 160, 130
        l1 = [(c - r * math.cos(a), c - r * math.sin(a)), (c + r * math.cos(a), c + r * math.sin(a))]
        l2 = [(c - r * math.cos(a), c + r * math.sin(a)), (c + r * math.cos(a), c - r * math.sin(a))]
        out.append((f'cross{angle}', (320, 320), [l1, l2], [False, False], [(c, c)], [], 2))
    out.append(('tee', (320, 240), [[(m, 60), (320 - m, 60)], [(160, 60), (160, 240 - m)]],
                [False, False], [(160, 60)], [], 2))
    return out


def segments_of(polylines):
    s = []
    for line in polylines:
        for a, b in zip(line, line[1:]):
            s.append((a[0], a[1], b[0], b[1]))
    return np.array(s, dtype=float)


def distance_to(points, segs):
    """Distance of each point to the nearest segment, in chunks."""
    out = np.empty(len(points))
    ax, ay, bx, by = (segs[:, i][None, :] for i in range(4))
    dx, dy = bx - ax, by - ay
    length2 = np.maximum(dx * dx + dy * dy, 1e-12)
    for start in range(0, len(points), 2048):
        p = points[start:start + 2048]
        px, py = p[:, 0:1], p[:, 1:2]
        t = np.clip(((px - ax) * dx + (py - ay) * dy) / length2, 0, 1)
        d = np.hypot(px - ax - t * dx, py - ay - t * dy)
        out[start:start + 2048] = d.min(axis=1)
    return out


def render(size, polylines, width):
    w, h = size
    segs = segments_of(polylines)
    if width <= 1:
        # Aliased, one pixel: the pixels the centreline passes nearest to.
        scale, offsets, reach = 1, np.array([0.0]), 0.5
    else:
        scale, offsets, reach = SUB, (np.arange(SUB) + 0.5) / SUB - 0.5, width / 2
    # Distances of every sample to the centreline, segment by segment
    # within its bounding box.
    sx = (np.arange(w * scale) // scale) + np.tile(offsets, w)
    sy = (np.arange(h * scale) // scale) + np.tile(offsets, h)
    d = np.full((h * scale, w * scale), np.inf)
    for ax, ay, bx, by in segs:
        x0 = max(0, int((min(ax, bx) - reach - 1) * scale))
        x1 = min(w * scale, int((max(ax, bx) + reach + 2) * scale))
        y0 = max(0, int((min(ay, by) - reach - 1) * scale))
        y1 = min(h * scale, int((max(ay, by) + reach + 2) * scale))
        if x0 >= x1 or y0 >= y1:
            continue
        px, py = sx[None, x0:x1], sy[y0:y1, None]
        dx, dy = bx - ax, by - ay
        t = np.clip(((px - ax) * dx + (py - ay) * dy) / max(dx * dx + dy * dy, 1e-12), 0, 1)
        np.minimum(d[y0:y1, x0:x1], np.hypot(px - ax - t * dx, py - ay - t * dy),
                   out=d[y0:y1, x0:x1])
    inside = (d <= reach).reshape(h, scale, w, scale).mean(axis=(1, 3))
    return np.round(255 * (1 - inside)).astype(np.uint8)


def densify(polyline, closed, step=0.25):
    pts = list(polyline)
    out = []
    for a, b in zip(pts, pts[1:]):
        n = max(1, int(math.hypot(b[0] - a[0], b[1] - a[1]) / step))
        for k in range(n):
            out.append((a[0] + (b[0] - a[0]) * k / n, a[1] + (b[1] - a[1]) * k / n))
    out.append(pts[-1])
    return np.array(out, dtype=float)


def limits(points, width, junctions, corners, base):
    """The allowed error at each point: base in the open, the stroke width
    (at least 3) near junctions, 0.3 w + 1 near corners."""
    allowed = np.full(len(points), base)
    for jx, jy in junctions:
        near = np.hypot(points[:, 0] - jx, points[:, 1] - jy) <= max(width, 3) + 1
        allowed[near] = np.maximum(allowed[near], max(width, 3) + base - 1)
    for cx, cy in corners:
        near = np.hypot(points[:, 0] - cx, points[:, 1] - cy) <= width + 1
        allowed[near] = np.maximum(allowed[near], 0.3 * width + base)
    return allowed


def measure(out_points, out_segs, truth_points, truth_segs, width, junctions, corners, base):
    """Worst excess over the limit both ways (<= 0 holds) and worst plain errors."""
    d_out = distance_to(out_points, truth_segs)
    d_truth = distance_to(truth_points, out_segs)
    lim_out = limits(out_points, width, junctions, corners, base)
    lim_truth = limits(truth_points, width, junctions, corners, base)
    excess = max((d_out - lim_out).max(), (d_truth - lim_truth).max())
    global WHERE
    if (d_out - lim_out).max() >= (d_truth - lim_truth).max():
        k = int((d_out - lim_out).argmax())
        WHERE = f'output point {out_points[k].round(1).tolist()} is {d_out[k]:.2f} from the truth'
    else:
        k = int((d_truth - lim_truth).argmax())
        WHERE = f'truth point {truth_points[k].round(1).tolist()} is {d_truth[k]:.2f} from the output'
    open_out = d_out[lim_out == base]
    open_truth = d_truth[lim_truth == base]
    worst_open = max(open_out.max() if len(open_out) else 0, open_truth.max() if len(open_truth) else 0)
    return excess, worst_open


def run_cli(cli, path, epsilon, folder):
    args = [cli, '-q', '--json', '-o', folder, path]
    if epsilon:
        args[2:2] = ['-e', str(epsilon)]
    result = subprocess.run(args, capture_output=True, text=True)
    if result.returncode != 0:
        return None, result.stderr
    name = os.path.splitext(os.path.basename(path))[0]
    return json.load(open(os.path.join(folder, name + '.json'))), ''


def skeleton_points(kind, gray):
    mask = gray < 128
    if kind == 'skimage':
        from skimage.morphology import skeletonize
        sk = skeletonize(mask)
    else:
        import cv2
        sk = cv2.ximgproc.thinning((mask * 255).astype(np.uint8)) > 0
    # Specks dropped as the drawing mode drops them: pieces of skeleton
    # shorter than 3 pixels.
    from skimage.measure import label
    pieces = label(sk, connectivity=2)
    sizes = np.bincount(pieces.ravel())
    sk = sk & (sizes[pieces] >= 3)
    ys, xs = np.nonzero(sk)
    return np.stack([xs, ys], 1).astype(float)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('cli')
    parser.add_argument('--widths', default='1,2,3,4,5,6,8,10,12,15,18,21,25')
    parser.add_argument('--compare', action='store_true')
    parser.add_argument('--check', action='store_true')
    parser.add_argument('--light', action='store_true')
    parser.add_argument('--slack', type=float, default=0.0,
                        help='with --check: error allowed over the limits (stroke counts stay exact)')
    args = parser.parse_args()
    widths = [int(w) for w in args.widths.split(',')]
    folder = tempfile.mkdtemp(prefix='kwindra-accuracy.')
    failures = []
    header = '| width | worst in the open, -e 0.001 | worst excess over the limits | strokes right |'
    if args.compare:
        header += ' skimage worst in the open | OpenCV worst in the open |'
    print(header)
    print('|' + '---|' * header.count('|')[:-1] if False else '|---' * (header.count('|') - 1) + '|')
    for width in widths:
        worst_open, worst_excess, right, total = 0.0, -1e9, 0, 0
        peer = {'skimage': 0.0, 'opencv': 0.0}
        for name, size, polylines, closed, junctions, corners, strokes in shapes(width):
            gray = render(size, polylines, width)
            if name == 'shallow':
                # Specks of noise away from the stroke: dropped, not strokes.
                for sx, sy in ((40, 15), (150, 100), (290, 20), (200, 105)):
                    gray[sy:sy + 2, sx:sx + 2] = 0
            if args.light:
                gray = 255 - gray
            path = os.path.join(folder, f'{name}-{width}.png')
            Image.fromarray(gray).save(path)
            truth_segs = segments_of(polylines)
            truth_points = np.concatenate([densify(l, c) for l, c in zip(polylines, closed)])
            for epsilon, base in ((0.001, 1.0), (None, 2.5)):
                run, error = run_cli(args.cli, path, epsilon, folder)
                total += 1
                if run is None:
                    failures.append(f'{name} width {width}: {error.strip()}')
                    continue
                lines = [s['points'] for s in run['strokes']]
                if len(lines) == strokes and [s['closed'] for s in run['strokes']].count(True) == sum(closed):
                    right += 1
                else:
                    failures.append(f'{name} width {width} e {epsilon}: {len(lines)} strokes, '
                                    f'{[s["closed"] for s in run["strokes"]]}')
                if not lines:
                    continue
                out_points = np.concatenate([densify(l, False) for l in lines if len(l) > 1])
                out_segs = segments_of([l for l in lines if len(l) > 1])
                excess, open_error = measure(out_points, out_segs, truth_points, truth_segs, width,
                                             junctions, corners, base)
                worst_excess = max(worst_excess, excess)
                if epsilon:
                    worst_open = max(worst_open, open_error)
                if excess > args.slack:
                    failures.append(f'{name} width {width} e {epsilon}: {excess:.2f} px over; {WHERE}')
            if args.compare:
                for kind in peer:
                    pts = skeleton_points(kind, gray if not args.light else 255 - gray)
                    if len(pts) == 0:
                        peer[kind] = float('inf')
                        continue
                    d_out = distance_to(pts, truth_segs)
                    lim = limits(pts, width, junctions, corners, 1.0)
                    d_truth = np.sqrt(((truth_points[:, None, :] - pts[None, :, :]) ** 2).sum(2)).min(1) \
                        if len(pts) * len(truth_points) < 4e7 else np.zeros(1)
                    lim_t = limits(truth_points, width, junctions, corners, 1.0)
                    open_error = max(d_out[lim == 1.0].max(initial=0), d_truth[lim_t == 1.0].max(initial=0))
                    peer[kind] = max(peer[kind], open_error)
        row = f'| {width} | {worst_open:.2f} px | {worst_excess:+.2f} px | {right}/{total} |'
        if args.compare:
            row += f' {peer["skimage"]:.2f} px | {peer["opencv"]:.2f} px |'
        print(row, flush=True)
    for f in failures:
        print('not held:', f)
    if args.check and failures:
        sys.exit(1)


if __name__ == '__main__':
    main()
