#!/usr/bin/env bash
# The command-line vectorizer end to end: every output of the sample
# pictures checked by other tools (xmllint, rsvg-convert, Debian's ezdxf),
# refusals, usage errors and exit statuses, a batch.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=$(realpath "$1")
python=/usr/bin/python3  # Debian's, with python3-ezdxf
work=$(mktemp -d /tmp/kwindra-cli.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
# A pipe into grep reads to the end (grep without -q): grep -q stops at
# its first match, and the writer's SIGPIPE then fails the whole pipe under
# pipefail.
# English unless a test asks for Polish below.
export LC_ALL=C.UTF-8 LANGUAGE=
python3 "$root/scripts/make-examples.py" samples >/dev/null
fail() { echo "FAIL: $*"; exit 1; }

# The window program's road: every output of every sample.
"$cli" --single-line --bmp --svg-pixels --dxf --csv --json -o out samples/*.bmp >stdout.txt 2>stderr.txt ||
  fail "samples: exit status $?"
[ ! -s stderr.txt ] || fail "samples: stderr: $(cat stderr.txt)"
[ "$(wc -l <stdout.txt)" = 3 ] || fail "samples: not one line per file: $(cat stdout.txt)"
grep -q '^samples/l-shape.bmp: 300 x 240, chain 368, start (50, 30), critical points 3$' \
  stdout.txt || fail "l-shape line: $(cat stdout.txt)"
for name in l-shape spiral curve; do
  xmllint --noout "out/$name.svg" || fail "$name.svg is not well-formed"
  # At the 72 dpi the samples state their real size is their size in pixels.
  rsvg-convert -d 72 -p 72 -b black "out/$name.svg" -o "out/$name.png" || fail "$name.svg does not render"
  convert "out/$name.png" -depth 8 "rgb:out/$name.rgb"
  "$python" - "$name" <<'PY' || fail "$name: outputs disagree"
import csv, json, sys
import ezdxf

name = sys.argv[1]
run = json.load(open(f'out/{name}.json'))
points = [tuple(p) for p in run['points']]
w, h = run['width'], run['height']
assert run['epsilon'] == 1 and run['mode'] == 'previous', run
assert not any(run['reports'].values()), run['reports']
assert len(points) >= 3, points

# CSV: the same points after its '#' lines, as stroke 0.
rows = list(csv.reader(l for l in open(f'out/{name}.csv') if not l.startswith('#')))
assert rows[0] == ['stroke', 'index', 'x', 'y'], rows[0]
assert [(int(x), int(y)) for s, _, x, y in rows[1:] if s == '0'] == points
assert [[tuple(p) for p in s['points']] for s in run['strokes']] == [points]

# DXF: one polyline with the points, y upwards, in millimetres at the
# 72 dpi the samples state (2835 pixels a metre).
assert run['dpi'] == 72 and run['unit'] == 'mm', (run['dpi'], run['unit'])
doc = ezdxf.readfile(f'out/{name}.dxf')
assert doc.header['$INSUNITS'] == 4
lines = doc.modelspace().query('POLYLINE')
assert len(lines) == 1, len(lines)
mm = 25.4 / 72
vertices = [(round(v.dxf.location.x / mm), round(v.dxf.location.y / mm)) for v in lines[0].vertices]
assert vertices == [(x, h - 1 - y) for x, y in points], vertices[:5]

# BMP: the rendition, green where the sample is white, red marks on the points.
source = open(f'samples/{name}.bmp', 'rb').read()
saved = open(f'out/{name}.kwindra.bmp', 'rb').read()
assert len(saved) == len(source) and saved[:54] == source[:54]
stride = (3 * w + 3) & ~3
marks = set(points)
for y in range(h):
    for x in range(w):
        i = 54 + (h - 1 - y) * stride + 3 * x
        want = bytes([0, 255 if source[i] else 0, 255 if (x, y) in marks else 0])
        assert saved[i:i + 3] == want, (x, y, saved[i:i + 3], want)

# SVG rendered at 1:1 on black: the polyline red through every critical
# point, the traced pixels underneath green or covered by the line, nothing
# far from the line.
rgb = open(f'out/{name}.rgb', 'rb').read()
assert len(rgb) == 3 * w * h, len(rgb)
pixel = lambda x, y: rgb[3 * (y * w + x):3 * (y * w + x) + 3]
for x, y in points:
    r, g, b = pixel(x, y)
    assert r > 150 and r > g, (x, y, r, g, b)
lit = sum(1 for y in range(h) for x in range(w) if source[54 + (h - 1 - y) * stride + 3 * x])
shown = sum(1 for y in range(h) for x in range(w) if max(pixel(x, y)) > 0)
assert lit <= shown < 4 * lit, (lit, shown)
for y in range(h):
    for x in range(w):
        if source[54 + (h - 1 - y) * stride + 3 * x]:
            r, g, b = pixel(x, y)
            assert g > 150 or r > 100, (x, y, r, g, b)
PY
done

# The tolerance: thousandths as in the settings dialog, a decimal comma too;
# the mode without a menu item.
"$cli" -q --single-line --json -o tol -e 0,25 samples/curve.bmp
mv tol/curve.json comma.json
"$cli" -q --single-line --json -o tol --epsilon=0.25 samples/curve.bmp
cmp -s comma.json tol/curve.json || fail "0,25 and 0.25 differ"
grep -q '"epsilon": 0.250' tol/curve.json || fail "epsilon not written"
"$cli" -q --single-line --json --break-pixels -o brk samples/l-shape.bmp
grep -q '"mode": "break"' brk/l-shape.json || fail "break mode not written"
grep -q '"points": \[\[50, 30\], \[52, 200\], \[249, 200\]\]' brk/l-shape.json ||
  fail "break mode points: $(grep points brk/l-shape.json)"

# Refusals: the window program's message, the next file still done, status 1.
python3 - <<'PY'
data = bytearray(open('samples/l-shape.bmp', 'rb').read())
open('short.bmp', 'wb').write(data[:60])
data[28] = 8  # 8 bits per pixel
open('palette.bmp', 'wb').write(data)
open('text.bmp', 'wb').write(b'not a picture')
PY
status=0
"$cli" --single-line palette.bmp short.bmp text.bmp samples/l-shape.bmp >stdout.txt 2>stderr.txt ||
  status=$?
[ "$status" = 1 ] || fail "refusals: exit status $status"
grep -qx 'palette.bmp: Sorry, only 24-bit colour pictures can be played with' stderr.txt ||
  fail "palette message: $(cat stderr.txt)"
grep -qx 'short.bmp: Damaged or unsupported BMP file' stderr.txt || fail "damaged message"
grep -qx 'text.bmp: Not a BMP file, or it cannot be opened' stderr.txt ||
  fail "not-BMP message"
[ "$(wc -l <stdout.txt)" = 1 ] && grep -q '^samples/l-shape.bmp:' stdout.txt ||
  fail "the good file after the refusals: $(cat stdout.txt)"

# A place that cannot be written: told, status 1.
status=0
"$cli" --svg -o /proc samples/l-shape.bmp >/dev/null 2>stderr.txt || status=$?
[ "$status" = 1 ] && grep -qx '/proc/l-shape.svg: Error writing the file!' stderr.txt ||
  fail "unwritable output: status $status, $(cat stderr.txt)"

# Usage errors: status 2 and a short text; --help is no error.
for args in "" "-e 0 x.bmp" "-e -1 x.bmp" "-e 0.0004 x.bmp" "-e 2147483.648 x.bmp" \
  "-e abc x.bmp" "--frobnicate x.bmp" "-o" "--bmp x.bmp" "--ink grey x.png" "--threshold 256 x.png" \
  "--threshold -1 x.png" "--max-pixels 0 x.png" "--max-pixels 1e9 x.png" "-j 0 x.png" \
  "--json=1 x.png" "--break-pixels x.png" "--dpi 0 x.png" "--dpi -300 x.png" "--dpi 1e3 x.png" \
  "--units cm x.png" "--feed 0 x.png" "--machine mill x.png" "--single-line --curves x.bmp" \
  "--single-line --gcode x.bmp" "-e 2147484 x.png"; do
  status=0
  # shellcheck disable=SC2086
  "$cli" $args >/dev/null 2>stderr.txt || status=$?
  [ "$status" = 2 ] || fail "'$args': exit status $status"
  grep -q 'kwindra-cli --help' stderr.txt || fail "'$args': no usage hint"
done
# Out of range is told with the range, whatever side it falls on.
for value in 0 0.0001 2147484 -1; do
  { "$cli" -e "$value" x.bmp 2>&1 || true; } |
    grep "Epsilon out of range (0.001 to 2147483.647 px): $value" >/dev/null ||
    fail "epsilon $value: range message"
done
{ "$cli" --dpi -5 x.png 2>&1 || true; } | grep 'Resolution out of range (1 to 1000000 dpi): -5' >/dev/null ||
  fail "dpi range message"
"$cli" --help | grep '^Usage: kwindra-cli' >/dev/null || fail "--help"

# A batch: one line per file, no progress line when stderr is no terminal.
for i in $(seq 30); do cp samples/curve.bmp "batch-$i.bmp"; done
"$cli" batch-*.bmp >stdout.txt 2>stderr.txt || fail "batch: exit status $?"
[ "$(wc -l <stdout.txt)" = 30 ] && [ ! -s stderr.txt ] || fail "batch output"
# On a terminal the batch shows its progress.
script -qec "'$cli' -q batch-*.bmp" /dev/null >tty.txt || fail "batch on a terminal"
grep -q '\[[0-9]*/30\] batch-' tty.txt || fail "no progress on a terminal"

# Any picture, dark or light ink: the same drawing as PNG, JPEG, TIFF (G4),
# PGM and a 32-bit BMP, black on white, and white on (1, 1, 1) as a 24-bit
# BMP, all traced alike; the mask shows the ink.
"$python" - <<'PY'
from PIL import Image, ImageDraw
im = Image.new('L', (120, 80), 255)
ImageDraw.Draw(im).line([(10, 20), (60, 20), (100, 70)], fill=0, width=1)
im.save('d.png')
im.save('d.jpg', quality=95)
im.convert('1').save('d.tif', compression='group4')
im.save('d.pgm')
im.convert('RGBA').save('d32.bmp')
Image.eval(im, lambda v: 1 if v else 250).convert('RGB').save('light.bmp')
Image.new('RGB', (50, 40), (200, 200, 200)).save('blank.png')
ring = Image.new('L', (60, 40), 255)
ImageDraw.Draw(ring).rectangle([(20, 12), (40, 24)], outline=0)
ring.save('ring.png')
PY
"$cli" --mask --json -o any d.png d.jpg d.tif d.pgm d32.bmp light.bmp >stdout.txt 2>stderr.txt ||
  fail "formats: exit status $?, $(cat stderr.txt)"
[ "$(wc -l <stdout.txt)" = 6 ] || fail "formats: $(cat stdout.txt)"
grep -q '^d.png: 120 x 80, dark ink (threshold [0-9]* against the paper), strokes 1 (closed 0), points 3, pen-up 0.0 px, resolution unknown (px)$' \
  stdout.txt || fail "png line: $(cat stdout.txt)"
grep -q '^light.bmp: 120 x 80, light ink' stdout.txt || fail "light ink: $(cat stdout.txt)"
# d.png, d.jpg, d.tif and d.pgm share a name: their outputs keep the extension.
for name in d.png d.jpg d.tif d.pgm d32 light; do
  "$python" - "$name" <<'PY' || fail "$name: not the drawing's points or mask"
import json, sys
from PIL import Image
name = sys.argv[1]
run = json.load(open(f'any/{name}.json'))
assert len(run['strokes']) == 1 and not run['strokes'][0]['closed'], run['strokes']
points = run['strokes'][0]['points']
if points[0][0] > points[-1][0]:
    points.reverse()
near = lambda p, q: abs(p[0] - q[0]) <= 1.5 and abs(p[1] - q[1]) <= 1.5
assert len(points) == 3 and near(points[0], (10, 20)) and near(points[2], (100, 70)), points
assert near(points[1], (60, 20)), points
assert run['ink'] == ('light' if name == 'light' else 'dark'), run['ink']
assert run['file'].startswith(name), run['file']
mask = Image.open(f'any/{name}.mask.png')
assert mask.mode == '1' and mask.size == (120, 80), (mask.mode, mask.size)
ink = Image.open('d.png').point(lambda v: 255 if v > 127 else 0).convert('1')
assert list(mask.getdata()) == list(ink.getdata())
PY
done
# A threshold and ink given by hand; the single-line mode still refuses PNG.
"$cli" -q --json -o hand --ink dark --threshold 10 d.png || fail "--threshold 10"
grep -q '"threshold": 10' hand/d.json || fail "threshold not kept"
[ "$(ls any/*.json | wc -l)" = 6 ] || fail "clashing names: $(ls any)"
status=0
"$cli" --single-line d.png >/dev/null 2>stderr.txt || status=$?
[ "$status" = 1 ] && grep -q '^d.png: Not a BMP file' stderr.txt || fail "single-line PNG"

# A ring is one closed stroke.
"$cli" -q --json -o ring ring.png || fail "ring: exit status $?"
"$python" -c "
import json
run = json.load(open('ring/ring.json'))
strokes = run['strokes']
assert len(strokes) == 1 and strokes[0]['closed'], strokes
assert strokes[0]['points'][0] == strokes[0]['points'][-1], strokes
" || fail "ring not one closed stroke"
# A line, a cross and a T in one drawing, 5 px wide and anti-aliased: four
# strokes, each through its true centreline; the DXF has their polylines.
"$python" - <<'PY'
from PIL import Image, ImageDraw
im = Image.new('L', (400, 200), 255)
d = ImageDraw.Draw(im)
for a, b in (((20, 20), (380, 20)), ((60, 60), (180, 180)), ((60, 180), (180, 60)),
             ((220, 100), (380, 100)), ((300, 100), (300, 180))):
    d.line([a, b], fill=0, width=5)
    for p in (a, b):
        d.ellipse([p[0] - 2, p[1] - 2, p[0] + 2, p[1] + 2], fill=0)
im.save('shapes.png')
PY
"$cli" --json --dxf --csv --svg-pixels -o shapes shapes.png >stdout.txt || fail "shapes: exit status $?"
grep -q 'strokes 5 (closed 0)' stdout.txt || fail "shapes: $(cat stdout.txt)"
xmllint --noout shapes/shapes.svg || fail "shapes.svg is not well-formed"
"$python" - <<'PY' || fail "shapes: strokes off their centrelines"
import json, ezdxf, math
run = json.load(open('shapes/shapes.json'))
lines = [((20, 20), (380, 20)), ((60, 60), (180, 180)), ((60, 180), (180, 60)),
         ((220, 100), (380, 100)), ((300, 100), (300, 180))]
def distance(p, a, b):
    (px, py), (ax, ay), (bx, by) = p, a, b
    t = max(0, min(1, ((px - ax) * (bx - ax) + (py - ay) * (by - ay)) / ((bx - ax) ** 2 + (by - ay) ** 2)))
    return math.hypot(px - ax - t * (bx - ax), py - ay - t * (by - ay))
for stroke in run['strokes']:
    worst = [max(distance(p, a, b) for p in stroke['points']) for a, b in lines]
    line = lines[worst.index(min(worst))]
    assert all(distance(p, *line) <= 2.5 for p in stroke['points']), (stroke, line)
doc = ezdxf.readfile('shapes/shapes.dxf')
assert len(doc.modelspace().query('POLYLINE')) == 5
PY

# Honest exits, even with -q: no ink, a broken file, an unknown format, a
# picture over the pixel limit; the batch goes on.
head -c 300 d.png >cut.png
printf 'GIF89a' >odd.gif
status=0
"$cli" -q --json -o honest blank.png cut.png odd.gif d.png >stdout.txt 2>stderr.txt ||
  status=$?
[ "$status" = 1 ] || fail "honest exits: status $status"
[ ! -s stdout.txt ] || fail "-q printed: $(cat stdout.txt)"
grep -q '^blank.png: No ink' stderr.txt || fail "no ink: $(cat stderr.txt)"
grep -q '^cut.png: Damaged file: PNG: ' stderr.txt || fail "cut PNG: $(cat stderr.txt)"
grep -q '^odd.gif: Unknown picture format' stderr.txt || fail "unknown format"
[ -s honest/d.json ] || fail "the good file after the bad ones"
[ ! -e honest/blank.json ] && [ ! -e honest/cut.json ] || fail "outputs of refused files"
status=0
"$cli" --max-pixels 9599 d.png >/dev/null 2>stderr.txt || status=$?
[ "$status" = 1 ] && grep -q '^d.png: The picture is 120 x 80, more pixels than the limit 9599' stderr.txt ||
  fail "pixel limit: status $status, $(cat stderr.txt)"
"$cli" -q --max-pixels 9600 d.png || fail "at the pixel limit"
# A cut chain (the single-line caps) is reported and exits 1.
"$python" - <<'PY'
from PIL import Image, ImageDraw
im = Image.new('RGB', (30, 30))
ImageDraw.Draw(im).line([(2, 2), (10, 2), (10, 10)], fill=(255, 255, 255))
ring = Image.new('RGB', (30, 30))
ImageDraw.Draw(ring).rectangle([(5, 5), (20, 15)], outline=(255, 255, 255))
ring.save('ring.bmp')
im.putpixel((9, 2), (0, 0, 0))
im.putpixel((9, 3), (255, 255, 255))  # a square corner: the walk circles
im.save('circling.bmp')
PY
status=0
"$cli" -q --single-line circling.bmp 2>stderr.txt || status=$?
[ "$status" = 1 ] && grep -q '^circling.bmp: The line is too long or loops' stderr.txt ||
  fail "cut chain: status $status, $(cat stderr.txt)"
status=0
"$cli" -q --single-line ring.bmp 2>stderr.txt || status=$?
[ "$status" = 1 ] && grep -qx 'ring.bmp: No end of a line found' stderr.txt ||
  fail "no line end: status $status, $(cat stderr.txt)"

# Every broken file of every format: a message naming it, status 1, and the
# batch goes on to the good file at the end.
pictures=${KWINDRA_PICTURES:-}
if [ -n "$pictures" ] && [ -f "$pictures/broken.txt" ]; then
  mapfile -t broken < <(sed "s|^|$pictures/|" "$pictures/broken.txt")
  status=0
  "$cli" -q -o brokenout "${broken[@]}" d.png 2>stderr.txt || status=$?
  [ "$status" = 1 ] || fail "broken files: status $status"
  for f in "${broken[@]}"; do grep -q "^$f: " stderr.txt || fail "no message for $f"; done
  ! grep -q '^d.png' stderr.txt || fail "the good file complained"
fi
# Polish under a Polish locale (the glibc locale made privately when the
# system has none): --help, the result line, the window program's messages.
source "$root/tests/polish_locale.sh"
polish_locale "$work/locale"
LC_ALL=pl_PL.UTF-8 "$cli" --help | grep '^Użycie: kwindra-cli' >/dev/null || fail "Polish --help"
LC_ALL=pl_PL.UTF-8 "$cli" d.png | grep '^d.png: 120 x 80, tusz ciemny (próg [0-9]* względem papieru), kreski 1 (zamknięte 0)' >/dev/null ||
  fail "Polish result line"
{ LC_ALL=pl_PL.UTF-8 "$cli" --single-line palette.bmp 2>&1 || true; } |
  grep -x 'palette.bmp: Niestety możemy pobawić się tylko obrazkami w 24 bitowym kolorze' >/dev/null ||
  fail "Polish window message"
{ LC_ALL=pl_PL.UTF-8 "$cli" --frobnicate 2>&1 || true; } | grep 'Nieznana opcja: --frobnicate' >/dev/null ||
  fail "Polish usage error"
"$cli" --version | grep -x 'kwindra-cli [0-9.]*' >/dev/null || fail "--version"

# Jobs: the results in the input order whatever finishes first; the same
# outputs as one at a time.
for i in $(seq 12); do cp shapes.png "many-$i.png"; cp d.png "many-$i-small.png"; done
"$cli" -j 4 --json -o jobs many-*.png >jobs.txt || fail "jobs: exit status $?"
"$cli" -j 1 --json -o one many-*.png >one.txt || fail "one job: exit status $?"
cmp -s jobs.txt one.txt || fail "jobs: lines differ from one at a time"
for f in one/*.json; do cmp -s "$f" "jobs/$(basename "$f")" || fail "jobs: $f differs"; done
# Inputs the fuzzers found, at both tolerances and every way of deciding
# the ink: every point of every stroke inside the picture.
for find in "$root"/fuzz/finds/*; do
  for args in "-e 1" "-e 0.001" "--threshold otsu -e 0.001"; do
    # shellcheck disable=SC2086
    "$cli" -q $args --json -o finds "$find" || [ $? = 1 ] || fail "$find $args: exit status"
    json=finds/$(basename "${find%.*}").json
    [ -f "$json" ] || continue
    "$python" - "$json" <<'PY' || fail "$find $args: a point outside the picture"
import json, sys
run = json.load(open(sys.argv[1]))
w, h = run['width'], run['height']
outside = [p for s in run['strokes'] for p in s['points']
           if not (-0.5 <= p[0] <= w - 0.5 and -0.5 <= p[1] <= h - 0.5)]
assert not outside, outside
PY
    rm -f "$json"
  done
done
echo "command-line vectorizer checked"
