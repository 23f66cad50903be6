#!/usr/bin/env bash
# The Debian package of kwindra-cli: made with CPack from the release build,
# it declares the libraries it needs, and unpacked into a scratch folder its
# program runs (--version, a picture, Polish from its own catalogue) and its
# man page renders and names every option of --help.
set -euo pipefail
build=$(realpath "$1")
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/kwindra-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null) || fail "cpack"
deb=$(ls "$work"/out/kwindra-cli_*.deb)
echo "package: $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libpng16-16 libjpeg62-turbo libtiff6 libstdc++6; do
  grep -q "$library" <<<"$depends" || fail "Depends lacks $library"
done
dpkg-deb -x "$deb" "$work/root"
cli=$work/root/usr/bin/kwindra-cli
"$cli" --version | tee "$work/version.txt"
grep -qx 'kwindra-cli [0-9]*\.[0-9]*\.[0-9]*' "$work/version.txt" || fail "--version"
/usr/bin/python3 - "$work/d.png" <<'PY'
import sys
from PIL import Image, ImageDraw
im = Image.new('L', (120, 80), 255)
ImageDraw.Draw(im).line([(10, 20), (60, 20), (100, 70)], fill=0, width=3)
im.save(sys.argv[1])
PY
LC_ALL=C.UTF-8 "$cli" --svg -o "$work" "$work/d.png" | tee "$work/line.txt"
grep -q 'd.png: 120 x 80, dark ink' "$work/line.txt" && [ -s "$work/d.svg" ] || fail "a picture"
# Polish from the package's own catalogue (the glibc locale made when missing).
source "$root/tests/polish_locale.sh"
polish_locale "$work/locale"
LC_ALL=pl_PL.UTF-8 "$cli" "$work/d.png" | grep 'tusz ciemny' >/dev/null || fail "Polish from the package"
# The man page renders and names every option that --help lists.
page=$(ls "$work"/root/usr/share/man/man1/kwindra-cli.1*)
man -l "$page" >"$work/man.txt" 2>/dev/null || fail "man -l"
grep -q 'kwindra-cli - turn raster drawings' "$work/man.txt" || fail "man page text"
options=$(LC_ALL=C.UTF-8 "$cli" --help | grep -oE -- '--[a-z][a-z-]*|^  -[a-zA-Z]' | tr -d ' ' | sort -u)
for option in $options; do
  grep -qe "$option" "$work/man.txt" || fail "the man page lacks $option"
done
echo "package checked: $(echo "$options" | wc -l) options in the man page"
