#!/usr/bin/env bash
# Peak memory of the drawing mode on a picture of pure noise (half the
# pixels ink, at random; 4000 x 4000): within the luminance plus 4 bytes a
# pixel, over what the program holds before it reads a picture. Run on the
# release build.
set -euo pipefail
cli=$(realpath "$1")
work=$(mktemp -d /tmp/kwindra-drawing-memory.XXXXXX)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 - "$work/noise.pgm" <<'PY'
import sys
import numpy as np
side = 4000
ink = np.random.default_rng(7).random((side, side)) < 0.5
with open(sys.argv[1], 'wb') as out:
    out.write(b'P5 %d %d 255\n' % (side, side))
    out.write(np.where(ink, 0, 255).astype(np.uint8).tobytes())
PY
peak() {
  /usr/bin/time -v "$@" 2>&1 >"$work/out.txt" | awk -F': ' '/Maximum resident set size/ {print $2}'
}
base_kb=$(peak "$cli" --version)
peak_kb=$(peak "$cli" --svg -o "$work" "$work/noise.pgm")
cat "$work/out.txt"
limit_kb=$((4000 * 4000 * 5 / 1024))
echo "peak resident memory: $peak_kb KiB, of which $base_kb KiB before any picture;" \
  "limit $limit_kb KiB over that ($(awk "BEGIN {printf \"%.2f\", ($peak_kb - $base_kb) * 1024 / 16e6}") bytes a pixel)"
grep -q 'strokes [1-9]' "$work/out.txt" || { echo "FAIL: no strokes"; exit 1; }
[ -s "$work/noise.svg" ] || { echo "FAIL: no SVG"; exit 1; }
[ $((peak_kb - base_kb)) -le "$limit_kb" ] || { echo "FAIL: over the limit"; exit 1; }
