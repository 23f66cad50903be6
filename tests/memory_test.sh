#!/usr/bin/env bash
# Peak memory of decoding a 20000 x 20000 PNG (400 MB of luminance): within
# 1.5 times the luminance bytes. Run on the release build.
set -euo pipefail
probe=$(realpath "$1")
work=$(mktemp -d /tmp/kwindra-memory.XXXXXX)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 - "$work/big.png" <<'PY'
# Written a row at a time: white paper with dark diagonals, 8-bit RGB so
# that the decoder has three bytes a pixel to bring down to one.
import struct, sys, zlib
w = h = 20000
out = open(sys.argv[1], 'wb')
def chunk(kind, body):
    out.write(struct.pack('>I', len(body)) + kind + body +
              struct.pack('>I', zlib.crc32(kind + body)))
out.write(b'\x89PNG\r\n\x1a\n')
chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0))
z = zlib.compressobj(1)
white = bytearray(b'\xff' * (3 * w))
pending = []
for y in range(h):
    row = bytearray(white)
    for x in (y % w, (y * 7) % w, w - 1 - y % w):
        row[3 * x:3 * x + 3] = b'\x10\x10\x10'
    pending.append(z.compress(b'\0' + bytes(row)))
    if y % 500 == 499:
        chunk(b'IDAT', b''.join(pending))
        pending = []
pending.append(z.flush())
chunk(b'IDAT', b''.join(pending))
chunk(b'IEND', b'')
PY
/usr/bin/time -v "$probe" "$work/big.png" >"$work/out.txt" 2>"$work/time.txt"
cat "$work/out.txt"
peak_kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
gray_kb=$((20000 * 20000 / 1024))
echo "peak resident memory: $peak_kb KiB; luminance: $gray_kb KiB; ratio: $(awk "BEGIN {printf \"%.3f\", $peak_kb / $gray_kb}")"
grep -q '^20000 x 20000, dark ink' "$work/out.txt" || { echo "FAIL: not decoded as drawn"; exit 1; }
[ "$peak_kb" -le $((gray_kb * 3 / 2)) ] || { echo "FAIL: peak over 1.5 x the luminance"; exit 1; }
