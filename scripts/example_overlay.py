"""The strokes of an SVG drawn in red over a faded copy of the picture they
were found in, for the before/after pictures in docs/."""
import os
import subprocess

from PIL import Image


def strokes_over(picture, svg, work):
    """picture: a PIL image; svg: the path of kwindra-cli's SVG of it."""
    png = os.path.join(work, 'strokes.png')
    subprocess.run(['rsvg-convert', '-b', 'none', svg, '-o', png], check=True)
    strokes = Image.open(png).convert('RGBA')
    red = Image.new('RGBA', strokes.size, (220, 0, 0, 255))
    after = Image.eval(picture, lambda v: 255 - (255 - v) // 4).convert('RGBA')
    after.paste(red, (0, 0), strokes.split()[3])
    return after.convert('RGB')
