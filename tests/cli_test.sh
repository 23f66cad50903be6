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
python3 "$root/scripts/make-examples.py" samples >/dev/null
fail() { echo "FAIL: $*"; exit 1; }

# Every output of every sample.
"$cli" --bmp --svg-pixels --dxf --csv --json -o out samples/*.bmp >stdout.txt 2>stderr.txt ||
  fail "samples: exit status $?"
[ ! -s stderr.txt ] || fail "samples: stderr: $(cat stderr.txt)"
[ "$(wc -l <stdout.txt)" = 3 ] || fail "samples: not one line per file: $(cat stdout.txt)"
grep -q '^samples/l-shape.bmp: 300 x 240, łańcuch 368, początek (50, 30), punkty krytyczne 3$' \
  stdout.txt || fail "l-shape line: $(cat stdout.txt)"
for name in l-shape spiral curve; do
  xmllint --noout "out/$name.svg" || fail "$name.svg is not well-formed"
  rsvg-convert -b black "out/$name.svg" -o "out/$name.png" || fail "$name.svg does not render"
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

# CSV: the same points after its '#' lines.
rows = list(csv.reader(l for l in open(f'out/{name}.csv') if not l.startswith('#')))
assert rows[0] == ['index', 'x', 'y'], rows[0]
assert [(int(x), int(y)) for _, x, y in rows[1:]] == points

# DXF: one polyline with the points, y upwards.
doc = ezdxf.readfile(f'out/{name}.dxf')
lines = doc.modelspace().query('POLYLINE')
assert len(lines) == 1, len(lines)
vertices = [(round(v.dxf.location.x), round(v.dxf.location.y)) for v in lines[0].vertices]
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
"$cli" -q --json -o tol -e 0,25 samples/curve.bmp
mv tol/curve.json comma.json
"$cli" -q --json -o tol --epsilon=0.25 samples/curve.bmp
cmp -s comma.json tol/curve.json || fail "0,25 and 0.25 differ"
grep -q '"epsilon": 0.250' tol/curve.json || fail "epsilon not written"
"$cli" -q --json --break-pixels -o brk samples/l-shape.bmp
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
"$cli" palette.bmp short.bmp text.bmp samples/l-shape.bmp >stdout.txt 2>stderr.txt || status=$?
[ "$status" = 1 ] || fail "refusals: exit status $status"
grep -qx 'palette.bmp: Niestety możemy pobawić się tylko obrazkami w 24 bitowym kolorze' stderr.txt ||
  fail "palette message: $(cat stderr.txt)"
grep -qx 'short.bmp: Uszkodzony lub nieobsługiwany plik BMP' stderr.txt || fail "damaged message"
grep -qx 'text.bmp: To nie jest plik BMP albo nie da się go otworzyć' stderr.txt ||
  fail "not-BMP message"
[ "$(wc -l <stdout.txt)" = 1 ] && grep -q '^samples/l-shape.bmp:' stdout.txt ||
  fail "the good file after the refusals: $(cat stdout.txt)"

# A place that cannot be written: told, status 1.
status=0
"$cli" --svg -o /proc samples/l-shape.bmp >/dev/null 2>stderr.txt || status=$?
[ "$status" = 1 ] && grep -qx '/proc/l-shape.svg: Błąd zapisu pliku!' stderr.txt ||
  fail "unwritable output: status $status, $(cat stderr.txt)"

# Usage errors: status 2 and a short text; --help is no error.
for args in "" "-e 0 x.bmp" "-e -1 x.bmp" "-e 0.0004 x.bmp" "-e 2147483.648 x.bmp" \
  "-e abc x.bmp" "--frobnicate x.bmp" "-o"; do
  status=0
  # shellcheck disable=SC2086
  "$cli" $args >/dev/null 2>stderr.txt || status=$?
  [ "$status" = 2 ] || fail "'$args': exit status $status"
  grep -q 'kwindra-cli --help' stderr.txt || fail "'$args': no usage hint"
done
{ "$cli" -e 0 x.bmp 2>&1 || true; } | grep -q 'Epsylon musi być dodatnie' || fail "positivity message"
"$cli" --help | grep -q '^Użycie: kwindra-cli' || fail "--help"

# A batch: one line per file, no progress line when stderr is no terminal.
for i in $(seq 30); do cp samples/curve.bmp "batch-$i.bmp"; done
"$cli" batch-*.bmp >stdout.txt 2>stderr.txt || fail "batch: exit status $?"
[ "$(wc -l <stdout.txt)" = 30 ] && [ ! -s stderr.txt ] || fail "batch output"
# On a terminal the batch shows its progress.
script -qec "'$cli' -q batch-*.bmp" /dev/null >tty.txt || fail "batch on a terminal"
grep -q '\[30/30\] batch-' tty.txt || fail "no progress on a terminal"
echo "command-line vectorizer checked"
