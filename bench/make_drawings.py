#!/usr/bin/python3
"""Writes the drawing-mode benchmark pictures into a folder, as PGM (which
potrace reads too, so both tools read the same file):

  spiral.pgm   8000 x 8000, a one-pixel spiral of about 7 million pixels
  a4.pgm       4960 x 7016 (A4 at 600 dpi), a scan-like drawing: strokes 3
               to 8 px, crossings, circles, lettering, specks, soft edges
  a4-photo.pgm the same page photographed as bench/photos.py's "phone"
               (falling light, vignetting, a shadow, grain, blur, JPEG)
  page-1.pgm, page-2.pgm   a 2000 x 2000 drawing and the same drawn 2 x
               larger each way (4 x the pixels, strokes twice as wide)
  page-tiled.pgm  page-1 four times, 2 x 2 (4 x the pixels, the same strokes)
  noise.pgm    4000 x 4000, half the pixels ink at random
"""
import io
import math
import os
import random
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFilter, ImageFont

Image.MAX_IMAGE_PIXELS = None
out = sys.argv[1]
os.makedirs(out, exist_ok=True)
rng = random.Random(3)


def spiral():
    n, pitch = 8000, 7.2
    c = n / 2
    img = np.full((n, n), 255, np.uint8)
    r_max = c - 10
    s = np.arange(0, math.pi * r_max ** 2 / pitch, 0.7)
    r = np.sqrt(9 + s * pitch / math.pi)
    t = 2 * math.pi * (r - 3) / pitch
    img[np.round(c + r * np.sin(t)).astype(int), np.round(c + r * np.cos(t)).astype(int)] = 0
    Image.fromarray(img).save(os.path.join(out, 'spiral.pgm'))


def drawing(w, h, scale=1.0, specks=True):
    img = Image.new('L', (w, h), 255)
    d = ImageDraw.Draw(img)
    local = random.Random(5)
    for _ in range(int(60 * w * h / 4960 / 7016 * 4) + 20):
        width = int(local.randint(3, 8) * scale)
        kind = local.random()
        if kind < 0.5:
            pts = [(local.uniform(0, w), local.uniform(0, h)) for _ in range(local.randint(2, 5))]
            d.line(pts, fill=0, width=width, joint='curve')
        elif kind < 0.8:
            x, y, r = local.uniform(0, w), local.uniform(0, h), local.uniform(20, 400) * scale
            d.ellipse([x - r, y - r, x + r, y + r], outline=0, width=width)
        else:
            x, y = local.uniform(0, w * 0.7), local.uniform(0, h * 0.9)
            try:
                font = ImageFont.truetype('/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf',
                                          int(local.uniform(60, 200) * scale))
            except OSError:
                font = ImageFont.load_default()
            d.text((x, y), 'Kwindra 1234', fill=0, font=font)
    if specks:
        for _ in range(int(w * h / 20000)):
            x, y = local.uniform(0, w), local.uniform(0, h)
            d.ellipse([x, y, x + 1.5, y + 1.5], fill=0)
    return img.filter(ImageFilter.GaussianBlur(0.8 * scale))


spiral()
a4 = drawing(4960, 7016)
a4.save(os.path.join(out, 'a4.pgm'))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from photos import photograph  # noqa: E402
photo, _ = photograph('phone', 1 - np.asarray(a4).astype(float) / 255, random.Random(1))
Image.open(io.BytesIO(photo)).convert('L').save(os.path.join(out, 'a4-photo.pgm'))
del a4, photo
drawing(2000, 2000, 1.0, specks=False).save(os.path.join(out, 'page-1.pgm'))
drawing(4000, 4000, 2.0, specks=False).save(os.path.join(out, 'page-2.pgm'))
page = np.array(Image.open(os.path.join(out, 'page-1.pgm')))
Image.fromarray(np.tile(page, (2, 2))).save(os.path.join(out, 'page-tiled.pgm'))
noise = (np.random.default_rng(1).random((4000, 4000)) < 0.5) * 255
Image.fromarray(noise.astype(np.uint8)).save(os.path.join(out, 'noise.pgm'))
print('benchmark drawings in', out)
