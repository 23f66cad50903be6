#!/usr/bin/python3
"""Makes docs/drawing-before-after.png: a scan-like drawing (strokes of
several widths, crossings, a ring, lettering, soft edges and specks) and,
beside it, the strokes kwindra-cli finds drawn over a faded copy.

    scripts/make-drawing-example.py build/release/kwindra-cli
"""
import os
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw, ImageFilter, ImageFont

from example_overlay import strokes_over

cli = sys.argv[1]
root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
work = tempfile.mkdtemp(prefix='kwindra-example.')
w, h = 480, 360
img = Image.new('L', (w, h), 250)
d = ImageDraw.Draw(img)
d.line([(40, 300), (40, 140), (160, 60), (280, 140), (280, 300), (40, 300)], fill=20, width=6,
       joint='curve')
d.line([(40, 140), (280, 140)], fill=20, width=3)
d.rectangle([(90, 200), (150, 300)], outline=20, width=4)
d.ellipse([(190, 180), (250, 240)], outline=20, width=5)
d.line([(300, 60), (450, 300)], fill=20, width=8)
d.line([(300, 300), (450, 60)], fill=20, width=4)
d.arc([(310, 20), (470, 150)], 200, 340, fill=20, width=3)
font = ImageFont.truetype('/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf', 34)
d.text((70, 310), 'Kwindra', fill=20, font=font)
for x, y in ((20, 30), (400, 330), (200, 20)):
    d.ellipse([x, y, x + 1, y + 1], fill=60)
img = img.filter(ImageFilter.GaussianBlur(0.7))
source = os.path.join(work, 'scan.png')
img.save(source)
subprocess.run([cli, '-q', '--svg', '-o', work, source], check=True)
after = strokes_over(img, os.path.join(work, 'scan.svg'), work)
out = Image.new('RGB', (2 * w + 10, h), (255, 255, 255))
out.paste(img.convert('RGB'), (0, 0))
out.paste(after, (w + 10, 0))
out.save(os.path.join(root, 'docs', 'drawing-before-after.png'), optimize=True)
print('docs/drawing-before-after.png written')
