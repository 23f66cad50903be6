#!/usr/bin/python3
"""Makes docs/photo-before-after.png: a drawing photographed the way a phone
does (light falling off across the page, vignetting, a shadow over its
right third, paper grain, defocus, a colour cast, JPEG), the ink the
drawing mode decides (--mask), and the strokes it finds drawn in red over a
faded copy of the photo; beside them, the ink one threshold for the whole
picture (Otsu's) decides.

    scripts/make-photo-example.py build/release/kwindra-cli
"""
import io
import os
import random
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image, ImageDraw, ImageFont

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(root, 'bench'))
from photos import photograph  # noqa: E402
from example_overlay import strokes_over  # noqa: E402

cli = sys.argv[1]
work = tempfile.mkdtemp(prefix='kwindra-photo.')
w, h = 480, 360
# The drawing as ink coverage, 4 x finer and scaled down.
big = Image.new('L', (4 * w, 4 * h), 0)
d = ImageDraw.Draw(big)
d.line([(160, 1200), (160, 560), (640, 240), (1120, 560), (1120, 1200), (160, 1200)], fill=255,
       width=16, joint='curve')
d.line([(160, 560), (1120, 560)], fill=255, width=10)
d.rectangle([(360, 800), (600, 1200)], outline=255, width=12)
d.ellipse([(760, 720), (1000, 960)], outline=255, width=14)
d.line([(1240, 240), (1800, 1200)], fill=255, width=14)
d.line([(1240, 1200), (1800, 240)], fill=255, width=10)
font = ImageFont.truetype('/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf', 120)
d.text((300, 1240), 'Kwindra', fill=255, font=font)
cover = np.asarray(big.resize((w, h), Image.BOX)).astype(float) / 255
data, _ = photograph('phone', cover, random.Random(4))
photo_path = os.path.join(work, 'photo.jpg')
open(photo_path, 'wb').write(data)
photo = Image.open(io.BytesIO(data)).convert('RGB')
subprocess.run([cli, '-q', '--svg', '--mask', '-o', work, photo_path], check=True)
after = strokes_over(photo, os.path.join(work, 'photo.svg'), work)
mask = Image.open(os.path.join(work, 'photo.mask.png')).convert('RGB')
otsu_dir = os.path.join(work, 'otsu')
subprocess.run([cli, '-q', '--threshold', 'otsu', '--mask', '-o', otsu_dir, photo_path])
otsu = Image.open(os.path.join(otsu_dir, 'photo.mask.png')).convert('RGB')
out = Image.new('RGB', (2 * w + 10, 2 * h + 10), (255, 255, 255))
for picture, at in ((photo, (0, 0)), (after, (w + 10, 0)), (mask, (0, h + 10)),
                    (otsu, (w + 10, h + 10))):
    out.paste(picture, at)
out.save(os.path.join(root, 'docs', 'photo-before-after.png'), optimize=True)
print('docs/photo-before-after.png written')
