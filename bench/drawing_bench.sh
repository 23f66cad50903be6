#!/usr/bin/env bash
# The drawing mode against Debian's potrace on the same files, and its cost
# per pixel and peak memory. Builds the release preset; needs hyperfine and
# potrace (installed when missing). Prints hyperfine's tables and the peaks.
#   bench/drawing_bench.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
for p in hyperfine potrace; do
  command -v "$p" >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$p" >/dev/null
done
cd "$root"
cmake --preset release >/dev/null && cmake --build --preset release -j2 >/dev/null
cli=$root/build/release/kwindra-cli
work=$root/build/bench-drawings
# Remade when the script that draws them is newer.
[ "$work/noise.pgm" -nt bench/make_drawings.py ] && [ "$work/noise.pgm" -nt bench/photos.py ] || /usr/bin/python3 bench/make_drawings.py "$work"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cd "$work"
for picture in spiral a4; do
  hyperfine -w 1 -r 3 -N "$cli -q --svg -o $out $picture.pgm" \
    "potrace -s $picture.pgm -o $out/$picture-potrace.svg"
done
# A photographed page: the drawing mode (the ink against the paper) against
# potrace behind its own filter for uneven light, mkbitmap -s 1.
hyperfine -w 1 -r 3 -N "$cli -q --svg -o $out a4-photo.pgm" \
  "bash -c 'mkbitmap -s 1 a4-photo.pgm -o $out/m.pbm && potrace -s $out/m.pbm -o $out/m.svg'"
hyperfine -w 1 -r 5 -N "$cli -q --svg -o $out page-1.pgm" "$cli -q --svg -o $out page-tiled.pgm" \
  "$cli -q --svg -o $out page-2.pgm" "$cli -q --svg -o $out noise.pgm"
# A batch of 200 pictures on one core and on all (results in input order).
mkdir -p batch
if [ ! -f batch/200.pgm ]; then
  /usr/bin/python3 - <<'PY'
from PIL import Image
page = Image.open('page-1.pgm')
for i in range(1, 201):
    x, y = (i * 37) % 1000, (i * 53) % 1000
    page.crop((x, y, x + 1000, y + 1000)).save(f'batch/{i}.pgm')
PY
fi
hyperfine -w 1 -r 3 -N "$cli -q -j 1 --svg -o $out $(echo batch/*.pgm)" \
  "$cli -q -j $(nproc) --svg -o $out $(echo batch/*.pgm)"
echo "Peak memory (the limit: the luminance, 1 byte a pixel, plus 4 bytes a pixel)"
base=$(/usr/bin/time -v "$cli" --version 2>&1 >/dev/null | awk -F': ' '/Maximum resident/ {print $2}')
echo "before any picture (--version): $base KiB"
for picture in spiral a4 page-tiled noise; do
  peak=$(/usr/bin/time -v "$cli" -q --svg -o "$out" "$picture.pgm" 2>&1 >/dev/null |
    awk -F': ' '/Maximum resident/ {print $2}')
  pixels=$(/usr/bin/python3 -c "from PIL import Image; Image.MAX_IMAGE_PIXELS = None; \
w, h = Image.open('$picture.pgm').size; print(w * h)")
  echo "$picture: $peak KiB peak, limit $((pixels * 5 / 1024)) KiB" \
    "($(awk "BEGIN {printf \"%.2f\", $peak * 1024 / $pixels}") bytes a pixel," \
    "$(awk "BEGIN {printf \"%.2f\", ($peak - $base) * 1024 / $pixels}") over the program's own)"
done
