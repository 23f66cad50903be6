#!/usr/bin/python3
"""Real size, curves and machine files end to end, read back by the programs
that consume them: random drawings of circles, arcs, waves and straight
lines (seeded; a failure prints its seed and the command that remakes it),
traced with --curves into SVG, DXF, CSV, JSON, G-code and HPGL, and then

  - every point of the drawing's own centreline (traced at -e 0.001) lies
    within epsilon of the curves, and the curves within epsilon and the
    centreline's spacing of it; curves take fewer pieces than polylines;
  - rsvg-convert renders the SVG at its stated real size, and at 1:1 its
    strokes lie on the JSON's pieces (arcs bent the right way);
  - ezdxf reads the DXF: millimetres, and its extents are the pieces'
    extents at the real size;
  - the G-code and the HPGL, replayed by the parsers below, draw the same
    pieces with the pen down, and their pen-up travel from the end of the
    first stroke to the start of the last is the JSON's pen-up length;
  - the resolution is read from PNG, JPEG, TIFF and BMP, --dpi wins, and a
    picture without one is told so.

Usage: real_size_test.py KWINDRA-CLI [--seeds N] [--seed S] [--keep DIR]
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
import traceback

import ezdxf
import numpy as np
from ezdxf import bbox
from ezdxf.path import make_path
from PIL import Image, ImageDraw
from scipy.spatial import cKDTree

cli = None  # the program under test, set by main()


def run(*argv, expect=0):
    result = subprocess.run([cli, *argv], capture_output=True, text=True)
    assert result.returncode == expect, (argv, result.returncode, result.stdout, result.stderr)
    return result


def drawing(seed, folder):
    """A random drawing at a random resolution, anti-aliased (drawn 4 x and
    shrunk), saved as PNG with its dpi. Returns (path, dpi, width, height)."""
    rng = random.Random(seed)
    w, h = rng.randint(300, 700), rng.randint(250, 500)
    dpi = rng.choice([96, 150, 254, 300, 600])
    s = 4
    im = Image.new('L', (w * s, h * s), 255)
    d = ImageDraw.Draw(im)
    # A frame from 10 px in from the edges, drawn inwards: the drawing's
    # extents are known.
    frame = rng.randint(2, 5)
    d.rectangle([10 * s, 10 * s, (w - 10) * s - 1, (h - 10) * s - 1], outline=0, width=frame * s)
    for _ in range(rng.randint(2, 5)):
        kind = rng.choice(['circle', 'arc', 'wave', 'line'])
        width = rng.randint(1, 6)
        cx, cy = rng.uniform(40, w - 40), rng.uniform(40, h - 40)
        if kind in ('circle', 'arc'):
            r = rng.uniform(12, min(cx, cy, w - cx, h - cy) - 15)
            if r < 8:
                continue
            box = [(cx - r) * s, (cy - r) * s, (cx + r) * s, (cy + r) * s]
            if kind == 'circle':
                d.ellipse(box, outline=0, width=width * s)
            else:
                start = rng.uniform(0, 360)
                d.arc(box, start, start + rng.uniform(40, 300), fill=0, width=width * s)
        elif kind == 'wave':
            a, length = rng.uniform(5, 30), rng.uniform(80, w - 40)
            x0 = rng.uniform(20, w - 20 - length)
            periods = rng.uniform(0.5, 2.5)
            points = [((x0 + t * length) * s,
                       (cy + a * math.sin(2 * math.pi * periods * t)) * s) for t in np.linspace(0, 1, 400)]
            d.line(points, fill=0, width=width * s, joint='curve')
        else:
            d.line([(rng.uniform(20, w - 20) * s, rng.uniform(20, h - 20) * s),
                    (rng.uniform(20, w - 20) * s, rng.uniform(20, h - 20) * s)], fill=0, width=width * s)
    im = im.resize((w, h), Image.LANCZOS)
    path = os.path.join(folder, f'drawing-{seed}.png')
    im.save(path, dpi=(dpi, dpi))
    return path, dpi, w, h, frame


def pieces(stroke):
    """A JSON stroke's pieces: (a, b, None) straight or (a, b, (centre, radius, sweep))."""
    points = stroke['points']
    out = []
    for i, segment in enumerate(stroke.get('segments', [{'kind': 'line'}] * (len(points) - 1))):
        arc = None
        if segment['kind'] == 'arc':
            arc = (segment['centre'], segment['radius'], math.radians(segment['sweep']))
        out.append((points[i], points[i + 1], arc))
    return out


def sample(piece, step=0.1):
    """Points along a piece about step apart."""
    a, b, arc = piece
    if arc is None:
        n = max(1, int(math.dist(a, b) / step))
        return [(a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t) for t in np.linspace(0, 1, n + 1)]
    (cx, cy), r, sweep = arc
    start = math.atan2(a[1] - cy, a[0] - cx)
    n = max(1, int(abs(sweep) * r / step))
    return [(cx + r * math.cos(start + sweep * t), cy + r * math.sin(start + sweep * t))
            for t in np.linspace(0, 1, n + 1)]


def drawn(strokes):
    return np.array([p for s in strokes for piece in pieces(s) for p in sample(piece)])


def replay_gcode(path, height, per_pixel, down, up):
    """The pen-down path (in pixels, y down) and the pen-up moves of a G-code
    file: G20/G21, G90, G0, G1, G2/G3 with I and J, the pen lines as given."""
    pen, at, units = False, (0.0, 0.0), None
    drawn_points, travel, strokes = [], [], 0
    for line in open(path):
        line = line.strip()
        if not line or line.startswith('('):
            continue
        if line == down:
            pen, strokes = True, strokes + 1
            continue
        if line == up:
            pen = False
            continue
        words = dict((w[0], float(w[1:])) for w in line.split()[1:] if w[0] in 'XYIJZFS')
        code = line.split()[0]
        if code in ('G20', 'G21'):
            units = code
            continue
        if code not in ('G0', 'G1', 'G2', 'G3') or 'X' not in words:
            continue
        to = (words['X'], words['Y'])
        if code == 'G0':
            assert not pen, 'G0 with the pen down'
            travel.append((at, to))
        else:
            assert pen, f'{code} with the pen up: {line}'
            if code == 'G1':
                piece = (at, to, None)
            else:
                c = (at[0] + words['I'], at[1] + words['J'])
                r = math.dist(c, at)
                assert abs(math.dist(c, to) - r) < 2e-3 + 1e-4 * r, (line, r, math.dist(c, to))
                a0 = math.atan2(at[1] - c[1], at[0] - c[0])
                a1 = math.atan2(to[1] - c[1], to[0] - c[0])
                sweep = (a1 - a0) % (2 * math.pi)  # counter-clockwise, y up
                if code == 'G2':
                    sweep -= 2 * math.pi
                if sweep == 0 or sweep == -2 * math.pi:
                    sweep = 0
                piece = (at, to, (c, r, sweep))
            drawn_points += sample(piece, 0.1 * per_pixel)
        at = to
    to_pixels = lambda p: (p[0] / per_pixel, height - 1 - p[1] / per_pixel)
    return units, np.array([to_pixels(p) for p in drawn_points]), \
        [(to_pixels(a), to_pixels(b)) for a, b in travel], strokes


def replay_hpgl(path, height, per_pixel):
    """The pen-down path and the pen-up moves of PU/PD plotting, from the
    origin where IN leaves the pen."""
    pen, at = False, (0.0, 0.0)
    lines, travel = [], []
    for command in open(path).read().replace('\n', '').split(';'):
        name, numbers = command[:2], [float(v) for v in command[2:].split(',') if v]
        if name == 'PU':
            pen = False
        elif name == 'PD':
            pen = True
        else:
            assert name in ('IN', 'SP', ''), name
            continue
        for x, y in zip(numbers[0::2], numbers[1::2]):
            if pen:
                lines += sample((at, (x, y), None), 0.1 * per_pixel)
            else:
                travel.append((at, (x, y)))
            at = (x, y)
    to_pixels = lambda p: (p[0] / per_pixel, height - 1 - p[1] / per_pixel)
    return np.array([to_pixels(p) for p in lines]), \
        [(to_pixels(a), to_pixels(b)) for a, b in travel]


def pen_up(travel, strokes):
    """Travel from the end of the first stroke to the start of the last."""
    moves = travel[1:]  # the first move goes to the first stroke from the origin
    assert len(moves) == strokes - 1, (len(moves), strokes)
    return sum(math.dist(a, b) for a, b in moves)


def farthest(points, near):
    """The largest distance from any of points to the nearest of near."""
    return cKDTree(near).query(points)[0].max()


def check_drawing(seed, folder):
    path, dpi, w, h, frame = drawing(seed, folder)
    mm = 25.4 / dpi
    rng = random.Random(seed * 7919)
    epsilon = rng.choice([0.3, 0.5, 1.0, 2.0])
    dense = os.path.join(folder, 'dense')
    run('-q', '--json', '-e', '0.001', '-o', dense, path)
    line = run('--curves', '-e', str(epsilon), '--json', '--svg', '--dxf', '--csv', '--gcode',
               '--hpgl', '-o', folder, path).stdout
    assert f'({dpi} dpi)' in line and ' mm ' in line, line
    name = os.path.join(folder, f'drawing-{seed}')
    curves = json.load(open(name + '.json'))
    centreline = json.load(open(os.path.join(dense, f'drawing-{seed}.json')))
    assert curves['dpi'] == dpi and curves['unit'] == 'mm', (curves['dpi'], curves['unit'])
    assert len(curves['strokes']) == len(centreline['strokes'])

    # The guarantee: every centreline point within epsilon of the curves
    # (3 decimals in the JSON: 0.002 px slack). The polyline at -e 0.001 keeps
    # only the points it needs; all of them are centreline points.
    path_points = drawn(curves['strokes'])
    centre_points = np.array([p for s in centreline['strokes'] for p in s['points']])
    worst = farthest(centre_points, path_points)
    assert worst <= epsilon + 0.01, f'a centreline point {worst:.3f} px from the curves'
    # And the curves near the centreline: within epsilon and its spacing.
    worst = farthest(path_points, drawn(centreline['strokes']))
    assert worst <= epsilon + 1.0, f'the curves stray {worst:.3f} px from the centreline'
    # Fewer pieces than the polylines at the same tolerance.
    run('-q', '--json', '-e', str(epsilon), '-o', os.path.join(folder, 'lines'), path)
    lines = json.load(open(os.path.join(folder, 'lines', f'drawing-{seed}.json')))
    count = lambda d: sum(len(s['points']) - 1 for s in d['strokes'])
    assert count(curves) <= count(lines), (count(curves), count(lines))

    # SVG: its stated size at 96 dpi, and 1:1 its strokes on the pieces.
    subprocess.run(['rsvg-convert', name + '.svg', '-o', name + '.96.png'], check=True)
    size = Image.open(name + '.96.png').size
    assert size == (math.ceil(w * 96 / dpi - 1e-3), math.ceil(h * 96 / dpi - 1e-3)), (size, w, h, dpi)
    subprocess.run(['rsvg-convert', '-d', str(dpi), '-p', str(dpi), '-b', 'white', name + '.svg',
                    '-o', name + '.1.png'], check=True)
    ink = np.array(Image.open(name + '.1.png').convert('L')) < 128
    assert ink.shape == (h, w), ink.shape
    ys, xs = np.nonzero(ink)
    rendered = np.column_stack([xs, ys]).astype(float)
    assert farthest(rendered, path_points) <= 1.5, 'the SVG draws ink off the pieces'
    assert farthest(path_points, rendered) <= 1.5, 'the SVG leaves a piece undrawn'

    # DXF: millimetres; the extents are the pieces' at the real size.
    doc = ezdxf.readfile(name + '.dxf')
    assert doc.header['$INSUNITS'] == 4
    extents = bbox.extents(doc.modelspace(), fast=False)
    xs, ys = path_points[:, 0] * mm, (h - 1 - path_points[:, 1]) * mm
    for got, want in ((extents.extmin.x, xs.min()), (extents.extmax.x, xs.max()),
                      (extents.extmin.y, ys.min()), (extents.extmax.y, ys.max())):
        assert abs(got - want) <= 0.01 * mm + 1e-3, ('DXF extents', extents, want)
    # The frame's centreline spans the picture less 10 px and half the frame
    # a side, give or take a pixel.
    span = w - 20 - frame
    assert abs(extents.size.x - span * mm) <= mm, ('frame', extents.size.x / mm, span)
    # Arcs as bulges: sampled by ezdxf, each point of the DXF on the pieces.
    for polyline in doc.modelspace().query('POLYLINE'):
        vertices = np.array([(v.x / mm, h - 1 - v.y / mm) for v in make_path(polyline).flattening(0.01 * mm)])
        assert farthest(vertices, path_points) <= 0.08, 'a DXF curve off the pieces'

    # CSV: the points of the JSON, each with its bulge.
    rows = [l.strip().split(',') for l in open(name + '.csv') if not l.startswith('#')]
    assert rows[0] == ['stroke', 'index', 'x', 'y', 'bulge'], rows[0]
    assert len(rows) - 1 == sum(len(s['points']) for s in curves['strokes'])
    assert f'# resolution: {dpi} dpi' in open(name + '.csv').read()

    # G-code and HPGL replayed: the same pieces, the same pen-up travel.
    units, gdrawn, gtravel, gstrokes = replay_gcode(name + '.gcode', h, mm, 'G1 Z0', 'G0 Z2')
    assert units == 'G21' and gstrokes == len(curves['strokes'])
    worst = farthest(gdrawn, path_points)
    assert worst <= 0.06, f'G-code draws {worst:.3f} px off the pieces'
    worst = farthest(path_points, gdrawn)
    assert worst <= 0.06, f'G-code leaves a piece undrawn by {worst:.3f} px'
    assert abs(pen_up(gtravel, gstrokes) - curves['penUp']) <= 0.01 * gstrokes + 0.1, \
        (pen_up(gtravel, gstrokes), curves['penUp'])
    plotter = mm * 40  # plotter units a pixel
    hdrawn, htravel = replay_hpgl(name + '.plt', h, plotter)
    rounding = math.sqrt(0.5) / plotter  # half a plotter unit each way, in pixels
    chords = max(epsilon / 10, 0.25 / plotter)
    assert farthest(hdrawn, path_points) <= chords + rounding + 0.01, 'HPGL draws off the pieces'
    assert farthest(path_points, hdrawn) <= chords + rounding + 0.01, 'HPGL leaves a piece undrawn'
    assert abs(pen_up(htravel, len(curves['strokes'])) - curves['penUp']) <= \
        2 * rounding * len(curves['strokes']) + 0.1


def check_resolutions(folder):
    """The resolution of every format that states one; --dpi wins; inches."""
    im = Image.new('L', (200, 100), 255)
    ImageDraw.Draw(im).line([(20, 50), (180, 50)], fill=0, width=3)
    for extension, dpi in (('png', 300), ('jpg', 200), ('tif', 600), ('bmp', 72)):
        path = os.path.join(folder, f'r.{extension}')
        im.save(path, dpi=(dpi, dpi))
        run('-q', '--json', '-o', folder, path)
        got = json.load(open(os.path.join(folder, 'r.json')))
        assert (got['dpi'], got['unit']) == (dpi, 'mm'), (extension, got['dpi'], got['unit'])
        run('-q', '--json', '--dpi', '127', '-o', folder, path)
        assert json.load(open(os.path.join(folder, 'r.json')))['dpi'] == 127
    # A TIFF stored a quarter turned with pixels twice as tall as wide: the
    # resolution across the picture as shown is the stored one down.
    from PIL import TiffImagePlugin
    turned = os.path.join(folder, 'turned.tif')
    info = TiffImagePlugin.ImageFileDirectory_v2()
    info[0x0112], info[282], info[283], info[296] = 6, 300.0, 150.0, 2
    im.save(turned, tiffinfo=info)
    line = run('--json', '-o', folder, turned).stdout
    got = json.load(open(os.path.join(folder, 'turned.json')))
    assert (got['width'], got['height'], got['dpi']) == (100, 200, 150), (got['width'], got['dpi'])
    assert 'pixels not square (300 dpi down)' in line, line
    # Inches: the SVG, DXF and G-code in inches.
    path = os.path.join(folder, 'r.png')
    line = run('--units', 'in', '--svg', '--dxf', '--gcode', '-o', folder, path).stdout
    assert '0.67 x 0.33 in (300 dpi)' in line, line
    assert 'width="0.6666in"' in open(os.path.join(folder, 'r.svg')).read()
    assert ezdxf.readfile(os.path.join(folder, 'r.dxf')).header['$INSUNITS'] == 1
    gcode = open(os.path.join(folder, 'r.gcode')).read()
    assert 'G20' in gcode and 'G0 Z0.08' in gcode
    # A laser and pen commands of one's own.
    run('--machine', 'laser', '--feed', '600', '--gcode', '-o', folder, path)
    gcode = open(os.path.join(folder, 'r.gcode')).read().split('\n')
    assert 'M3 S1000' in gcode and 'M5' in gcode and 'F600' in gcode, gcode[:8]
    run('--pen-down', 'M3 S250', '--pen-up', 'M5 (off)', '--gcode', '-o', folder, path)
    gcode = open(os.path.join(folder, 'r.gcode')).read().split('\n')
    assert 'M3 S250' in gcode and 'M5 (off)' in gcode
    # No resolution: pixels, told; no machine files, told; the rest written.
    plain = os.path.join(folder, 'plain.png')
    im.save(plain)
    assert 'resolution unknown (px)' in run('--json', '-o', folder, plain).stdout
    result = run('--gcode', '--hpgl', '--svg', '-o', folder, plain, expect=1)
    assert 'no G-code or HPGL written (give --dpi)' in result.stderr, result.stderr
    assert not os.path.exists(os.path.join(folder, 'plain.gcode'))
    assert os.path.exists(os.path.join(folder, 'plain.svg'))
    result = run('--units', 'mm', '--dxf', '--svg', '-o', folder, plain, expect=1)
    assert 'the outputs are in pixels' in result.stderr, result.stderr
    assert '$INSUNITS' not in open(os.path.join(folder, 'plain.dxf')).read()
    assert '<svg xmlns="http://www.w3.org/2000/svg" width="200" height="100" ' in \
        open(os.path.join(folder, 'plain.svg')).read()
    # Nothing asked for: the SVG beside the picture, and where it went.
    for name in os.listdir(folder):
        if name.startswith('plain.') and not name.endswith('.png'):
            os.remove(os.path.join(folder, name))
    line = run(plain).stdout
    assert line.rstrip().endswith(f', SVG: {os.path.join(folder, "plain.svg")}'), line
    assert os.path.exists(os.path.join(folder, 'plain.svg'))


def main():
    global cli
    parser = argparse.ArgumentParser()
    parser.add_argument('cli')
    parser.add_argument('--seeds', type=int, default=3, help='seeds 1 to N')
    parser.add_argument('--seed', type=int, help='this seed only')
    parser.add_argument('--keep', help='leave the pictures and outputs in this folder')
    args = parser.parse_args()
    cli = os.path.abspath(args.cli)
    seeds = [args.seed] if args.seed else range(1, args.seeds + 1)
    folder = args.keep or tempfile.mkdtemp(prefix='kwindra-real-size.')
    os.makedirs(folder, exist_ok=True)
    check_resolutions(folder)
    for seed in seeds:
        try:
            check_drawing(seed, folder)
        except AssertionError as failure:
            traceback.print_exc()
            print(f'FAIL seed {seed}: {failure}\n  again: /usr/bin/python3 {sys.argv[0]} '
                  f'{args.cli} --seed {seed} --keep /tmp/kwindra-seed-{seed}')
            sys.exit(1)
    print(f'real size, curves and machine files: {len(seeds)} drawings and every format right')


if __name__ == '__main__':
    main()
