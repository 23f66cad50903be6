#!/usr/bin/python3
"""Makes docs/part-before-after.png: a scan of a part's drawing at 300 dpi
(a plate with rounded corners, two holes and a slot, drawn with a 0.35 mm
pen, soft edges and grain) and, beside it, what `kwindra-cli --curves`
makes of it: straight pieces black, arcs blue, the pen-up moves of the
G-code dotted. Prints the command and its result line.

    scripts/make-part-example.py build/release/kwindra-cli [SCAN.png]

With SCAN.png the scan is also kept there (for trying the commands in the
README on it).
"""
import json
import math
import os
import random
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw, ImageFilter

cli = sys.argv[1]
root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
work = tempfile.mkdtemp(prefix='kwindra-part.')
dpi, s = 300, 4  # drawn 4 x larger, then shrunk: anti-aliased
px = lambda mm: mm / 25.4 * dpi * s
w, h = int(px(90) / s), int(px(60) / s)
big = Image.new('L', (w * s, h * s), 245)
d = ImageDraw.Draw(big)
pen = int(px(0.35))
# The plate: 80 x 50 mm, corners of 6 mm radius.
d.rounded_rectangle([px(5), px(5), px(85), px(55)], radius=px(6), outline=20, width=pen)
# Two holes and a slot.
for cx, cy, r in ((20, 20, 5), (70, 40, 3)):
    d.ellipse([px(cx - r), px(cy - r), px(cx + r), px(cy + r)], outline=20, width=pen)
d.rounded_rectangle([px(35), px(34.1), px(60), px(42.1)], radius=px(4), outline=20, width=pen)
scan = big.resize((w, h), Image.LANCZOS).filter(ImageFilter.GaussianBlur(0.6))
rng = random.Random(5)
pixels = scan.load()
for y in range(h):
    for x in range(w):
        pixels[x, y] = max(0, min(255, pixels[x, y] + rng.randint(-6, 6)))
picture = os.path.join(work, 'part-scan.png')
scan.save(picture, dpi=(dpi, dpi))
if len(sys.argv) > 2:
    scan.save(sys.argv[2], dpi=(dpi, dpi))

command = [cli, '--curves', '-e', '0.5', '--dxf', '--gcode', '--json', picture]
line = subprocess.run(command, check=True, capture_output=True, text=True).stdout.strip()
print('$ kwindra-cli --curves -e 0.5 --dxf --gcode part-scan.png')
print(line.replace(work + '/', ''))
run = json.load(open(os.path.join(work, 'part-scan.json')))

# The pieces drawn over a faded copy: lines black, arcs blue, pen-up dotted.
after = Image.eval(scan, lambda v: 255 - (255 - v) // 5).convert('RGB')
draw = ImageDraw.Draw(after)
previous = None
for stroke in run['strokes']:
    points = stroke['points']
    if previous:
        a, b = previous, points[0]
        n = max(1, int(math.dist(a, b) / 6))
        for k in range(0, n, 2):
            p = (a[0] + (b[0] - a[0]) * k / n, a[1] + (b[1] - a[1]) * k / n)
            q = (a[0] + (b[0] - a[0]) * (k + 1) / n, a[1] + (b[1] - a[1]) * (k + 1) / n)
            draw.line([p, q], fill=(150, 150, 150), width=1)
    for i, segment in enumerate(stroke['segments']):
        a, b = points[i], points[i + 1]
        if segment['kind'] == 'line':
            draw.line([tuple(a), tuple(b)], fill=(0, 0, 0), width=2)
            continue
        (cx, cy), r = segment['centre'], segment['radius']
        start, sweep = math.atan2(a[1] - cy, a[0] - cx), math.radians(segment['sweep'])
        n = max(2, int(abs(sweep) * r / 2))
        arc = [(cx + r * math.cos(start + sweep * t / n), cy + r * math.sin(start + sweep * t / n))
               for t in range(n + 1)]
        draw.line(arc, fill=(0, 70, 220), width=2)
    previous = points[-1]

out = Image.new('RGB', (2 * w + 10, h), (255, 255, 255))
out.paste(scan.convert('RGB'), (0, 0))
out.paste(after, (w + 10, 0))
out.save(os.path.join(root, 'docs', 'part-before-after.png'), optimize=True)
