#!/usr/bin/env bash
# The real program in the X display, driven only by the keyboard: open each
# sample through the open chooser, "Licz", save through the save chooser
# ("Połącz liniami" once), check the saved files (byte for byte, and against
# the command-line vectorizer's when KWINDRA_CLI names it) and a screenshot
# pixel of the overlay, then "Koniec" with exit status 0.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=$1
source "$root/scripts/wine-env.sh"
kwindra_prepare_wine
work=$(mktemp -d /tmp/kwindra-road.XXXXXX)
pid=
# A road that fails leaves no program behind to take the next one's keys.
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
python3 "$root/scripts/make-examples.py" "$work"
dos() { echo "Z:${1//\//\\}"; }

# Every step waits for what it needs (a window, the keyboard focus, a file,
# a pixel on screen) rather than sleeping a fixed time: a busy machine only
# makes the road slower, never wrong.
until_true_quiet() {  # SECONDS COMMAND...: polls the command until it succeeds
  local limit=$1
  shift
  for _ in $(seq $((limit * 20))); do
    "$@" && return 0
    sleep 0.05
  done
  return 1
}
until_true() {  # SECONDS WHAT COMMAND...: the same, or fails the road
  local limit=$1 what=$2
  shift 2
  until_true_quiet "$limit" "$@" || { echo "waited ${limit} s in vain for $what"; exit 1; }
}
focused_on() { xdotool getwindowfocus getwindowname 2>/dev/null | grep -E "$1" >/dev/null; }
# The window whose title matches holds the keyboard; with no window manager
# nothing may give it the focus, so it is given after each second without.
focus_on() {
  for _ in $(seq 20); do
    until_true_quiet 1 focused_on "$1" && return 0
    xdotool search --onlyvisible --name "$1" windowfocus 2>/dev/null || true
  done
  echo "waited 20 s in vain for the focus in $1"
  exit 1
}
# A search fails outright when a window goes while it looks (X's BadWindow),
# so it is asked again rather than waited on with --sync.
shown() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
wait_window() {
  until_true 20 "window $1" shown "$1"
  focus_on "$1"
}
gone() { ! shown "$1"; }
# The chooser or box closed and the main window holds the keyboard again.
back_to_main() {
  until_true 20 "$1 to close" gone "$1"
  focus_on '^Kwindra'
}

"$WINE64" "$exe" </dev/null >/dev/null 2>&1 &
pid=$!
wait_window '^Kwindra'
main=$(xdotool search --onlyvisible --name '^Kwindra' 2>/dev/null | head -1)
# Each sample: load it through the open chooser, "Licz", save it through
# the save chooser; the overlay is switched on (and photographed) once.
red_on_screen() {
  import -window root "$work/shot.png"
  red=$(convert "$work/shot.png" -crop 700x600+0+0 txt:- | grep -c '#FF0000' || true)
  [ "$red" -gt 100 ]
}
saved_whole() { [ -f "$1" ] && [ "$(stat -c %s "$1")" = "$2" ]; }
for name in l-shape spiral curve; do
  xdotool key F10 Down Return  # Plik > Wczytaj rysunek
  wait_window 'Otw'
  xdotool type "$(dos "$work/$name.bmp")"
  xdotool key Return
  back_to_main 'Otw'
  # The menu's keys queue behind the load and the computation in the
  # window's own message loop.
  xdotool key F10 Right Down Return  # Akcja > Licz
  if [ "$name" = l-shape ]; then
    xdotool key F10 Right Down Down Return  # Akcja > Połącz liniami
    until_true 20 "the overlay on screen" red_on_screen
  fi
  xdotool key F10 Down Down Return  # Plik > Zapisz aktualny obrazek
  wait_window 'Zapisz'
  xdotool type "$(dos "$work/saved-$name.bmp")"
  xdotool key Return
  back_to_main 'Zapisz'
  until_true 20 "saved-$name.bmp" saved_whole "$work/saved-$name.bmp" "$(stat -c %s "$work/$name.bmp")"
done
# A palette picture through the open chooser: the warning, and the window
# keeps the size of the picture before it.
python3 - "$work/curve.bmp" "$work/palette.bmp" <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
data[28] = 8
open(sys.argv[2], 'wb').write(data)
PY
before=$(xdotool getwindowgeometry "$main" | grep Geometry)
xdotool key F10 Down Return  # Plik > Wczytaj rysunek
wait_window 'Otw'
xdotool type "$(dos "$work/palette.bmp")"
xdotool key Return
wait_window '^Uwaga!$'
xdotool key Return
back_to_main '^Uwaga!$'
after=$(xdotool getwindowgeometry "$main" | grep Geometry)
[ "$before" = "$after" ] || { echo "palette load resized the window: $before -> $after"; exit 1; }
# A name longer than the chooser's buffer (258 characters with the folder,
# past the 256 bytes the program gives): the chooser fails and says so.
# (Names of 260 characters and more crash Wine's own chooser; Windows's
# returns the same failure.)
xdotool key F10 Down Down Return  # Plik > Zapisz aktualny obrazek
wait_window 'Zapisz'
long=$(printf 'd%.0s' $(seq $((251 - ${#work})))).bmp
xdotool type "$(dos "$work/$long")"
xdotool key Return
wait_window '^Uwaga!$'
xdotool key Return
back_to_main '^Uwaga!$'
[ ! -e "$work/$long" ] || { echo "a file was saved under the long name"; exit 1; }
xdotool key F10 Down Up Return  # Plik > Koniec
status=0
wait "$pid" || status=$?
pid=
[ "$status" = 0 ] || { echo "exit status $status"; exit 1; }

# The saved picture: 300 x 240, green line pixels on black, the two ends and
# the corner of the L marked (yellow on the line).
python3 - "$work/l-shape.bmp" "$work/saved-l-shape.bmp" <<'PY'
import sys
source, saved = (open(p, 'rb').read() for p in sys.argv[1:3])
# Expected byte for byte: the loaded headers, green where the sample is
# white, and the three critical points of the L in red over the green:
# both ends and, with the menu's mode and epsilon 1, the pixel just past
# the corner (the last floater that still fitted).
w, h, stride = 300, 240, 900
expected = bytearray(source)
for y in range(h):
    for x in range(w):
        i = 54 + (h - 1 - y) * stride + 3 * x
        expected[i:i + 3] = b'\x00\xff\x00' if source[i] else b'\x00\x00\x00'
for x, y in [(50, 30), (51, 200), (249, 200)]:
    expected[54 + (h - 1 - y) * stride + 3 * x + 2] = 255
assert len(saved) == 216054, len(saved)
assert saved == bytes(expected), next(i for i in range(len(saved)) if saved[i] != expected[i])
PY
# The command-line vectorizer saves the same bytes as the window program.
if [ -n "${KWINDRA_CLI:-}" ]; then
  "$KWINDRA_CLI" -q --single-line --bmp -o "$work/cli" "$work"/{l-shape,spiral,curve}.bmp
  for name in l-shape spiral curve; do
    cmp "$work/saved-$name.bmp" "$work/cli/$name.kwindra.bmp" ||
      { echo "$name: the command line and the window saved different files"; exit 1; }
  done
  echo "the command line saved the window program's bytes for all three samples"
else
  echo "KWINDRA_CLI not set: the comparison with the command line is skipped"
fi
echo "road passed: saved files checked, $red red overlay pixels on screen"
