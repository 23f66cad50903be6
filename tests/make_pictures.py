#!/usr/bin/python3
"""Writes the test pictures of every supported format and layout into a
folder, each with the luminance it must decode to.

For each picture NAME.EXT it writes NAME.EXT.gray (the expected luminance, one
byte a pixel, top row first) and a line "NAME.EXT WIDTH HEIGHT TOLERANCE"
in manifest.txt; the tolerance is 0 except for lossy formats. Broken files
go into broken.txt, one name a line. The PNG, BMP and PNM writers are here
so that every layout is made exactly; TIFF and JPEG come from Debian's
python3-pil (libtiff, libjpeg) and ImageMagick.
"""
import os
import random
import struct
import subprocess
import sys
import zlib

from PIL import Image

OUT = sys.argv[1]
W, H = 37, 23  # odd sizes: every row needs padding somewhere
rng = random.Random(7)
manifest, broken = [], []


def lum(r, g, b):
    return (299 * r + 587 * g + 114 * b + 500) // 1000


def over(v, a):
    return (v * a + 255 * (255 - a) + 127) // 255


def scale(v, maxval):
    return 255 if v >= maxval else (v * 255 + maxval // 2) // maxval


def save(name, data, expected, tolerance=0, w=W, h=H):
    with open(os.path.join(OUT, name), 'wb') as f:
        f.write(data)
    with open(os.path.join(OUT, name + '.gray'), 'wb') as f:
        f.write(bytes(expected))
    manifest.append(f'{name} {w} {h} {tolerance}')


def save_broken(name, data):
    with open(os.path.join(OUT, name), 'wb') as f:
        f.write(data)
    broken.append(name)


def truncations(name, data, cuts):
    stem, ext = name.rsplit('.', 1)
    for cut in cuts:
        save_broken(f'{stem}-cut{cut}.{ext}', data[:cut])


# Source pictures: colours, grays, a palette picture and an alpha channel.
rgb = [[(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(W)]
       for _ in range(H)]
alpha = [[rng.choice((0, 255, rng.randrange(256))) for _ in range(W)] for _ in range(H)]
palette = [(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(256)]


def indices(bits):
    return [[rng.randrange(1 << bits) for _ in range(W)] for _ in range(H)]


# ---------------------------------------------------------------- PNG
def png_chunk(kind, body):
    return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))


def pack_row(samples, bits):
    if bits == 8:
        return bytes(samples)
    if bits == 16:
        return b''.join(struct.pack('>H', s) for s in samples)
    out, acc, n = bytearray(), 0, 0
    for s in samples:
        acc = (acc << bits) | s
        n += bits
        if n == 8:
            out.append(acc)
            acc, n = 0, 0
    if n:
        out.append(acc << (8 - n))
    return bytes(out)


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2),
         (0, 1, 1, 2)]


def png(rows, colour_type, bits, channels, extra=b'', interlace=False):
    """rows: H lists of W pixels, each a tuple of `channels` samples."""
    h, w = len(rows), len(rows[0])
    raw = bytearray()

    def add(sub):
        for row in sub:
            raw.append(0)
            raw.extend(pack_row([s for p in row for s in p], bits))

    if interlace:
        for x0, y0, dx, dy in ADAM7:
            sub = [row[x0::dx] for row in rows[y0::dy]]
            if sub and sub[0]:
                add(sub)
    else:
        add(rows)
    head = struct.pack('>IIBBBBB', w, h, bits, colour_type, 0, 0, 1 if interlace else 0)
    return (b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', head) + extra +
            png_chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + png_chunk(b'IEND', b''))


def png_cases():
    for bits in (1, 2, 4, 8, 16):
        m = (1 << bits) - 1
        px = [[(rng.randrange(m + 1),) for _ in range(W)] for _ in range(H)]
        exp = [scale(p[0], m) for row in px for p in row]
        save(f'png-gray{bits}.png', png(px, 0, bits, 1), exp)
        if bits == 8:
            save('png-gray8-interlaced.png', png(px, 0, 8, 1, interlace=True), exp)
    for bits in (8, 16):
        m = (1 << bits) - 1
        px = [[tuple(rng.randrange(m + 1) for _ in range(3)) for _ in range(W)] for _ in range(H)]
        exp = [lum(*(scale(s, m) for s in p)) for row in px for p in row]
        save(f'png-rgb{bits}.png', png(px, 2, bits, 3), exp)
        save(f'png-rgb{bits}-interlaced.png', png(px, 2, bits, 3, interlace=True), exp)
        pa = [[p + (rng.randrange(m + 1),) for p in row] for row in px]
        exp = [over(lum(*(scale(s, m) for s in p[:3])), scale(p[3], m)) for row in pa for p in row]
        save(f'png-rgba{bits}.png', png(pa, 6, bits, 4), exp)
        ga = [[(rng.randrange(m + 1), rng.randrange(m + 1)) for _ in range(W)] for _ in range(H)]
        exp = [over(scale(g, m), scale(a, m)) for row in ga for g, a in row]
        save(f'png-graya{bits}.png', png(ga, 4, bits, 2), exp)
        save(f'png-graya{bits}-interlaced.png', png(ga, 4, bits, 2, interlace=True), exp)
    for bits in (1, 2, 4, 8):
        idx = indices(bits)
        entries = palette[:1 << bits]
        plte = png_chunk(b'PLTE', b''.join(bytes(c) for c in entries))
        exp = [lum(*entries[i]) for row in idx for i in row]
        save(f'png-palette{bits}.png', png([[(i,) for i in row] for row in idx], 3, bits, 1, plte), exp)
    # Palette with transparency, and a gray picture with a transparent level.
    idx = indices(4)
    trns = bytes(rng.randrange(256) for _ in range(16))
    extra = png_chunk(b'PLTE', b''.join(bytes(c) for c in palette[:16])) + png_chunk(b'tRNS', trns)
    exp = [over(lum(*palette[i]), trns[i]) for row in idx for i in row]
    save('png-palette4-trns.png', png([[(i,) for i in row] for row in idx], 3, 4, 1, extra), exp)
    g = [[(rng.randrange(4) * 60,) for _ in range(W)] for _ in range(H)]
    extra = png_chunk(b'tRNS', struct.pack('>H', 60))
    exp = [255 if p[0] == 60 else p[0] for row in g for p in row]
    save('png-gray8-trns.png', png(g, 0, 8, 1, extra), exp)
    good = png([[p for p in row] for row in rgb], 2, 8, 3)
    truncations('png-broken.png', good, (20, 40, len(good) - 30, len(good) - 5))
    bad = bytearray(good)
    bad[60] ^= 0xFF  # inside IDAT: a CRC error
    save_broken('png-badcrc.png', bytes(bad))


# ---------------------------------------------------------------- BMP
def bmp_file(info, palette_bytes, pixels):
    offset = 14 + len(info) + len(palette_bytes)
    total = offset + len(pixels)
    return b'BM' + struct.pack('<IHHI', total, 0, 0, offset) + info + palette_bytes + pixels


def info40(w, h, bits, compression=0, size_image=0, used=0, size=40, masks=()):
    info = struct.pack('<IiiHHIIiiII', size, w, h, 1, bits, compression, size_image, 2835, 2835,
                       used, 0)
    for m in masks:
        info += struct.pack('<I', m)
    return info + b'\0' * (size - len(info))


def bmp_rows(rows, bits, encode, top_down=False):
    out = bytearray()
    for row in (rows if top_down else rows[::-1]):
        data = encode(row) if bits >= 16 else pack_row(row, bits)
        out += data + b'\0' * (-len(data) % 4)
    return bytes(out)


def bmp_cases():
    enc24 = lambda row: b''.join(bytes((b, g, r)) for r, g, b in row)
    exp24 = [lum(*p) for row in rgb for p in row]
    save('bmp-24.bmp', bmp_file(info40(W, H, 24), b'', bmp_rows(rgb, 24, enc24)), exp24)
    save('bmp-24-topdown.bmp', bmp_file(info40(W, -H, 24), b'', bmp_rows(rgb, 24, enc24, True)),
         exp24)
    core = struct.pack('<IHHHH', 12, W, H, 1, 24)
    save('bmp-os2-core-24.bmp', bmp_file(core, b'', bmp_rows(rgb, 24, enc24)), exp24)
    for bits in (1, 4, 8):
        idx = indices(bits)
        entries = palette[:1 << bits]
        exp = [lum(*entries[i]) for row in idx for i in row]
        pal4 = b''.join(bytes((b, g, r, 0)) for r, g, b in entries)
        pal3 = b''.join(bytes((b, g, r)) for r, g, b in entries)
        save(f'bmp-palette{bits}.bmp', bmp_file(info40(W, H, bits), pal4, bmp_rows(idx, bits, None)),
             exp)
        core = struct.pack('<IHHHH', 12, W, H, 1, bits)
        save(f'bmp-os2-core-palette{bits}.bmp', bmp_file(core, pal3, bmp_rows(idx, bits, None)), exp)
        os2 = info40(W, H, bits, size=64)
        save(f'bmp-os2-v2-palette{bits}.bmp', bmp_file(os2, pal4, bmp_rows(idx, bits, None)), exp)
    # A short palette (biClrUsed) with indices inside it.
    idx = [[rng.randrange(5) for _ in range(W)] for _ in range(H)]
    pal = b''.join(bytes((b, g, r, 0)) for r, g, b in palette[:5])
    save('bmp-palette8-used5.bmp', bmp_file(info40(W, H, 8, used=5), pal, bmp_rows(idx, 8, None)),
         [lum(*palette[i]) for row in idx for i in row])
    # 16 bits: 5-5-5 by default, 5-6-5 in bit fields.
    px = [[rng.randrange(1 << 15) for _ in range(W)] for _ in range(H)]
    exp = [lum(scale(p >> 10 & 31, 31), scale(p >> 5 & 31, 31), scale(p & 31, 31))
           for row in px for p in row]
    enc16 = lambda row: b''.join(struct.pack('<H', p) for p in row)
    save('bmp-16.bmp', bmp_file(info40(W, H, 16), b'', bmp_rows(px, 16, enc16)), exp)
    px = [[rng.randrange(1 << 16) for _ in range(W)] for _ in range(H)]
    exp = [lum(scale(p >> 11, 31), scale(p >> 5 & 63, 63), scale(p & 31, 31)) for row in px for p in row]
    masks = (0xF800, 0x07E0, 0x001F)
    save('bmp-16-565.bmp', bmp_file(info40(W, H, 16, 3), struct.pack('<3I', *masks),
                                    bmp_rows(px, 16, enc16)), exp)
    save('bmp-v4-16-565.bmp', bmp_file(info40(W, H, 16, 3, size=108, masks=masks + (0,)), b'',
                                       bmp_rows(px, 16, enc16)), exp)
    # 32 bits: plain (the fourth byte unused), bit fields in another order,
    # V5 with alpha, alpha bit fields, and V5 alpha zero everywhere.
    enc32 = lambda row: b''.join(struct.pack('<I', p) for p in row)
    px = [[(r << 16) | (g << 8) | b | (rng.randrange(256) << 24) for r, g, b in row] for row in rgb]
    save('bmp-32.bmp', bmp_file(info40(W, H, 32), b'', bmp_rows(px, 32, enc32)), exp24)
    px = [[(r << 24) | (g << 16) | (b << 8) for r, g, b in row] for row in rgb]
    masks = (0xFF000000, 0x00FF0000, 0x0000FF00)
    save('bmp-32-fields.bmp', bmp_file(info40(W, H, 32, 3), struct.pack('<3I', *masks),
                                       bmp_rows(px, 32, enc32)), exp24)
    px = [[(a << 24) | (r << 16) | (g << 8) | b for (r, g, b), a in zip(row, arow)]
          for row, arow in zip(rgb, alpha)]
    masks = (0xFF0000, 0xFF00, 0xFF, 0xFF000000)
    expa = [over(lum(*p), a) for row, arow in zip(rgb, alpha) for p, a in zip(row, arow)]
    save('bmp-v5-32-alpha.bmp', bmp_file(info40(W, H, 32, 3, size=124, masks=masks), b'',
                                         bmp_rows(px, 32, enc32)), expa)
    save('bmp-32-alphafields.bmp', bmp_file(info40(W, H, 32, 6), struct.pack('<4I', *masks),
                                            bmp_rows(px, 32, enc32)), expa)
    px0 = [[(r << 16) | (g << 8) | b for r, g, b in row] for row in rgb]
    save('bmp-v5-32-alpha-unused.bmp', bmp_file(info40(W, -H, 32, 3, size=124, masks=masks), b'',
                                                bmp_rows(px0, 32, enc32, True)), exp24)
    # Run lengths: runs, literals, a delta, line ends, the end marker.
    idx = [[0] * W for _ in range(H)]
    rle8, rle4 = bytearray(), bytearray()
    for y in range(H):  # file row y is picture row H - 1 - y
        row = idx[H - 1 - y]
        if y == 5:  # skip this row and 3 pixels of the next with a delta
            rle8 += b'\x00\x02\x03\x01'
            rle4 += b'\x00\x02\x03\x01'
            idx[H - 2 - y][:3] = [0, 0, 0]
            continue
        start = 3 if y == 6 else 0
        x = start
        run = rng.randrange(1, 9)
        v = rng.randrange(1, 16)
        row[x:x + run] = [v] * run
        rle8 += bytes((run, v))
        rle4 += bytes((run, (v << 4) | v))
        x += run
        lit = [rng.randrange(1, 16) for _ in range(7)]
        row[x:x + 7] = lit
        rle8 += bytes((0, 7)) + bytes(lit) + b'\0'
        packed = pack_row(lit, 4)
        rle4 += bytes((0, 7)) + packed + b'\0' * (len(packed) % 2)
        x += 7
        rest = W - x
        v = rng.randrange(1, 16)
        row[x:] = [v] * rest
        rle8 += bytes((rest, v))
        rle4 += bytes((rest, (v << 4) | v))
        rle8 += b'\0\0'
        rle4 += b'\0\0'
    rle8 += b'\0\1'
    rle4 += b'\0\1'
    pal = b''.join(bytes((b, g, r, 0)) for r, g, b in palette[:16])
    exp = [lum(*palette[i]) for row in idx for i in row]
    save('bmp-rle8.bmp', bmp_file(info40(W, H, 8, 1, len(rle8), 16), pal, bytes(rle8)), exp)
    save('bmp-rle4.bmp', bmp_file(info40(W, H, 4, 2, len(rle4), 16), pal, bytes(rle4)), exp)
    # The same pixels as one stream with no line ends: runs and literals
    # cross the row ends and go on at the start of the next row.
    stream = [i for row in idx[::-1] for i in row]
    rle8, rle4 = bytearray(), bytearray()
    at = 0
    while at < len(stream):
        n = min(rng.randrange(3, 2 * W), len(stream) - at)
        if n >= 3 and rng.random() < 0.5:
            lit = stream[at:at + n]
            rle8 += bytes((0, n)) + bytes(lit) + b'\0' * (n % 2)
            packed = pack_row(lit, 4)
            rle4 += bytes((0, n)) + packed + b'\0' * (len(packed) % 2)
        else:
            n = min(n, 255)
            v = rng.randrange(1, 16)
            stream[at:at + n] = [v] * n
            rle8 += bytes((n, v))
            rle4 += bytes((n, (v << 4) | v))
        at += n
    rle8 += b'\0\1'
    rle4 += b'\0\1'
    rows = [stream[y * W:(y + 1) * W] for y in range(H)][::-1]
    exp = [lum(*palette[i]) for row in rows for i in row]
    save('bmp-rle8-wrapping.bmp', bmp_file(info40(W, H, 8, 1, len(rle8), 16), pal, bytes(rle8)),
         exp)
    save('bmp-rle4-wrapping.bmp', bmp_file(info40(W, H, 4, 2, len(rle4), 16), pal, bytes(rle4)),
         exp)
    good = bmp_file(info40(W, H, 24), b'', bmp_rows(rgb, 24, enc24))
    truncations('bmp-broken.bmp', good, (10, 30, 60, len(good) // 2))
    truncations('bmp-rle8-broken.bmp', bmp_file(info40(W, H, 8, 1, len(rle8), 16), pal,
                                                 bytes(rle8)), (200,))
    save_broken('bmp-bits7.bmp', bmp_file(info40(W, H, 7), b'', bmp_rows(rgb, 24, enc24)))
    save_broken('bmp-header99.bmp', bmp_file(info40(W, H, 24, size=99), b'', b''))
    save_broken('bmp-width0.bmp', bmp_file(info40(0, H, 24), b'', b''))


# ---------------------------------------------------------------- PNM
def pnm_cases():
    px = [[tuple(rng.randrange(1001) for _ in range(3)) for _ in range(W)] for _ in range(H)]
    header = lambda kind, maxval: f'P{kind}\n# a comment\n{W} {H}\n' + (f'{maxval}\n' if maxval else '')
    bits = [[rng.randrange(2) for _ in range(W)] for _ in range(H)]
    expb = [0 if b else 255 for row in bits for b in row]
    save('pnm-plain.pbm', (header(1, 0) + '\n'.join(''.join(str(b) for b in row) for row in bits)
                           + '\n').encode(), expb)
    save('pnm-raw.pbm', header(4, 0).encode() + b''.join(pack_row(row, 1) for row in bits), expb)
    gray = [[p[0] for p in row] for row in px]
    expg = [scale(v, 1000) for row in gray for v in row]
    save('pnm-plain.pgm', (header(2, 1000) + '\n'.join(' '.join(map(str, row)) for row in gray)
                           + '\n').encode(), expg)
    save('pnm-raw16.pgm', header(5, 1000).encode() +
         b''.join(struct.pack('>H', v) for row in gray for v in row), expg)
    g8 = [[v % 256 for v in row] for row in gray]
    save('pnm-raw.pgm', header(5, 255).encode() + bytes(v for row in g8 for v in row),
         [v for row in g8 for v in row])
    expc = [lum(*(scale(s, 1000) for s in p)) for row in px for p in row]
    save('pnm-plain.ppm', (header(3, 1000) + '\n'.join(' '.join(f'{r} {g} {b}' for r, g, b in row)
                                                        for row in px) + '\n').encode(), expc)
    save('pnm-raw16.ppm', header(6, 1000).encode() +
         b''.join(struct.pack('>3H', *p) for row in px for p in row), expc)
    save('pnm-raw.ppm', header(6, 255).encode() + bytes(s for row in rgb for p in row for s in p),
         [lum(*p) for row in rgb for p in row])
    good = header(6, 255).encode() + bytes(s for row in rgb for p in row for s in p)
    truncations('pnm-broken.ppm', good, (3, 12, len(good) // 2))
    save_broken('pnm-plain-bad.pgm', b'P2\n3 1\n255\n1 2 x\n')
    save_broken('pnm-maxval0.pgm', b'P5\n3 1\n0\n\0\0\0')


# ---------------------------------------------------------------- TIFF and JPEG
def pil_cases():
    im = Image.new('RGB', (W, H))
    im.putdata([p for row in rgb for p in row])
    exp = [lum(*p) for row in rgb for p in row]
    for compression in ('raw', 'tiff_lzw', 'tiff_adobe_deflate', 'packbits'):
        path = os.path.join(OUT, f'tiff-rgb-{compression}.tif')
        im.save(path, compression=compression)
        save(f'tiff-rgb-{compression}.tif', open(path, 'rb').read(), exp)
    bits = [[rng.randrange(2) for _ in range(W)] for _ in range(H)]
    bw = Image.new('1', (W, H))
    bw.putdata([255 * b for row in bits for b in row])
    expb = [255 * b for row in bits for b in row]
    for compression in ('group3', 'group4', 'raw', 'packbits'):
        path = os.path.join(OUT, f'tiff-bilevel-{compression}.tif')
        bw.save(path, compression=compression)
        save(f'tiff-bilevel-{compression}.tif', open(path, 'rb').read(), expb)
    gray = Image.new('L', (W, H))
    gray.putdata([p[1] for row in rgb for p in row])
    path = os.path.join(OUT, 'tiff-gray-lzw.tif')
    gray.save(path, compression='tiff_lzw')
    save('tiff-gray-lzw.tif', open(path, 'rb').read(), [p[1] for row in rgb for p in row])
    g16 = Image.new('I;16', (W, H))
    values = [rng.randrange(65536) for _ in range(W * H)]
    g16.putdata(values)
    path = os.path.join(OUT, 'tiff-gray16.tif')
    g16.save(path)
    save('tiff-gray16.tif', open(path, 'rb').read(), [scale(v, 65535) for v in values])
    idx = indices(8)
    pim = Image.new('P', (W, H))
    pim.putpalette([s for c in palette for s in c])
    pim.putdata([i for row in idx for i in row])
    path = os.path.join(OUT, 'tiff-palette.tif')
    pim.save(path, compression='packbits')
    save('tiff-palette.tif', open(path, 'rb').read(), [lum(*palette[i]) for row in idx for i in row])
    rgba = Image.new('RGBA', (W, H))
    rgba.putdata([p + (a,) for row, arow in zip(rgb, alpha) for p, a in zip(row, arow)])
    path = os.path.join(OUT, 'tiff-rgba.tif')
    rgba.save(path, compression='tiff_lzw')
    save('tiff-rgba.tif', open(path, 'rb').read(),
         [over(lum(*p), a) for row, arow in zip(rgb, alpha) for p, a in zip(row, arow)])
    # Tiles, CMYK and YCbCr JPEG go through libtiff's RGBA reader.
    src = os.path.join(OUT, 'source.ppm')
    im.save(src)
    path = os.path.join(OUT, 'tiff-tiled.tif')
    subprocess.run(['convert', src, '-define', 'tiff:tile-geometry=16x16', '-compress', 'zip',
                    path], check=True)
    save('tiff-tiled.tif', open(path, 'rb').read(), exp)
    # The same tiles stored a quarter turned (orientation 6, "right-top").
    path = os.path.join(OUT, 'tiff-tiled-orientation6.tif')
    subprocess.run(['convert', src, '-rotate', '-90', '-orient', 'RightTop', '-define',
                    'tiff:tile-geometry=16x16', '-compress', 'zip', path], check=True)
    save('tiff-tiled-orientation6.tif', open(path, 'rb').read(), exp)
    os.remove(src)
    # Lossy: within a tolerance of the luminance of a smooth picture.
    smooth = Image.new('RGB', (W, H))
    spx = [(60 + 3 * x + 2 * y, 90 + 2 * x, 150 - 3 * y) for y in range(H) for x in range(W)]
    smooth.putdata(spx)
    exps = [lum(*p) for p in spx]
    for name, options in (('jpeg-baseline.jpg', {}), ('jpeg-progressive.jpg', {'progressive': True})):
        path = os.path.join(OUT, name)
        smooth.save(path, quality=95, **options)
        save(name, open(path, 'rb').read(), exps, 3)
    path = os.path.join(OUT, 'jpeg-gray.jpg')
    smooth.convert('L').save(path, quality=95)
    save('jpeg-gray.jpg', open(path, 'rb').read(), exps, 3)
    path = os.path.join(OUT, 'jpeg-cmyk.jpg')
    smooth.convert('CMYK').save(path, quality=95)
    save('jpeg-cmyk.jpg', open(path, 'rb').read(), exps, 4)
    path = os.path.join(OUT, 'tiff-jpeg-ycbcr.tif')
    smooth.save(path, compression='jpeg', quality=95)
    save('tiff-jpeg-ycbcr.tif', open(path, 'rb').read(), exps, 4)
    # Stored turned or mirrored, with the orientation tag that says so: the
    # picture as viewers show it (Pillow's own table of the eight).
    shown = {2: Image.Transpose.FLIP_LEFT_RIGHT, 3: Image.Transpose.ROTATE_180,
             4: Image.Transpose.FLIP_TOP_BOTTOM, 5: Image.Transpose.TRANSPOSE,
             6: Image.Transpose.ROTATE_270, 7: Image.Transpose.TRANSVERSE,
             8: Image.Transpose.ROTATE_90}
    for orientation, transpose in shown.items():
        view = smooth.transpose(transpose)
        expected = [lum(*p) for p in view.getdata()]
        exif = Image.Exif()
        exif[0x0112] = orientation
        name = f'jpeg-orientation{orientation}.jpg'
        smooth.save(os.path.join(OUT, name), quality=95, exif=exif)
        save(name, open(os.path.join(OUT, name), 'rb').read(), expected, 3, *view.size)
        name = f'tiff-orientation{orientation}.tif'
        smooth.save(os.path.join(OUT, name), compression='tiff_lzw', tiffinfo={0x0112: orientation})
        save(name, open(os.path.join(OUT, name), 'rb').read(), expected, 0, *view.size)
    jpeg = open(os.path.join(OUT, 'jpeg-baseline.jpg'), 'rb').read()
    truncations('jpeg-broken.jpg', jpeg, (2, 100, len(jpeg) // 2, len(jpeg) - 2))
    tiff = open(os.path.join(OUT, 'tiff-rgb-tiff_lzw.tif'), 'rb').read()
    truncations('tiff-broken.tif', tiff, (8, 100, len(tiff) // 2))
    g4 = open(os.path.join(OUT, 'tiff-bilevel-group4.tif'), 'rb').read()
    truncations('tiff-g4-broken.tif', g4, (len(g4) // 2,))


# ---------------------------------------------------------------- WebP
def webp_cases():
    """Lossless and lossy, with alpha, through Pillow's libwebp; an animation
    and cut files are refused. Decoded through Y'CbCr: within 2 levels of
    the exact luminance when lossless."""
    im = Image.new('RGB', (W, H))
    im.putdata([p for row in rgb for p in row])
    exp = [lum(*p) for row in rgb for p in row]
    path = os.path.join(OUT, 'webp-lossless.webp')
    im.save(path, lossless=True)
    save('webp-lossless.webp', open(path, 'rb').read(), exp, 2)
    rgba = Image.new('RGBA', (W, H))
    rgba.putdata([p + (a,) for row, arow in zip(rgb, alpha) for p, a in zip(row, arow)])
    path = os.path.join(OUT, 'webp-alpha.webp')
    rgba.save(path, lossless=True)
    save('webp-alpha.webp', open(path, 'rb').read(),
         [over(lum(*p), a) for row, arow in zip(rgb, alpha) for p, a in zip(row, arow)], 2)
    smooth = Image.new('RGB', (W, H))
    spx = [(60 + 3 * x + 2 * y, 90 + 2 * x, 150 - 3 * y) for y in range(H) for x in range(W)]
    smooth.putdata(spx)
    path = os.path.join(OUT, 'webp-lossy.webp')
    smooth.save(path, quality=95)
    save('webp-lossy.webp', open(path, 'rb').read(), [lum(*p) for p in spx], 4)
    path = os.path.join(OUT, 'webp-animated-broken.webp')
    smooth.save(path, save_all=True, append_images=[im], duration=100)
    broken.append('webp-animated-broken.webp')
    data = open(os.path.join(OUT, 'webp-lossless.webp'), 'rb').read()
    truncations('webp-broken.webp', data, (12, 30, len(data) // 2, len(data) - 1))
    data = open(os.path.join(OUT, 'webp-lossy.webp'), 'rb').read()
    truncations('webp-lossy-broken.webp', data, (len(data) // 2,))


os.makedirs(OUT, exist_ok=True)
png_cases()
bmp_cases()
pnm_cases()
pil_cases()
webp_cases()
save_broken('unknown.png', b'GIF89a not a picture we read')
save_broken('empty.png', b'')
with open(os.path.join(OUT, 'manifest.txt'), 'w') as f:
    f.write('\n'.join(manifest) + '\n')
with open(os.path.join(OUT, 'broken.txt'), 'w') as f:
    f.write('\n'.join(broken) + '\n')
print(f'{len(manifest)} pictures, {len(broken)} broken files in {OUT}')
