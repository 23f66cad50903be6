# Sourced: the Wine environment the program and its tests run in (Polish
# code page 1250, a private prefix in the build tree, no prompts).
KWINDRA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$KWINDRA_ROOT/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LOCPATH="$KWINDRA_ROOT/build/locale"
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=wineserver

# Makes the glibc locale and the prefix once; safe to call from many processes.
kwindra_prepare_wine() {
  mkdir -p "$KWINDRA_ROOT/build"
  (
    flock 9
    if [ ! -d "$LOCPATH/pl_PL.UTF-8" ]; then
      mkdir -p "$LOCPATH"
      localedef -i pl_PL -f UTF-8 "$LOCPATH/pl_PL.UTF-8" 2>/dev/null || true
    fi
    if [ ! -f "$WINEPREFIX/.kwindra-ready" ]; then
      rm -rf "$WINEPREFIX"
      DISPLAY= "$WINE64" wineboot -i >/dev/null 2>&1
      # Without a window manager Wine waits for every hidden window.
      "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
      "$WINESERVER" -w
      touch "$WINEPREFIX/.kwindra-ready"
    fi
    # Wine's own fonts (Debian's fonts-wine) in the prefix's font folder:
    # without Marlett the caption buttons show "0", "1" and "r".
    for font in /usr/share/wine/fonts/*.ttf; do
      [ -e "$font" ] || continue
      [ -e "$WINEPREFIX/drive_c/windows/Fonts/${font##*/}" ] ||
        cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
    done
  ) 9>"$KWINDRA_ROOT/build/.wine-lock"
  # Code page 1250 under Wine; set only now that the locale exists.
  { export LC_ALL=pl_PL.UTF-8; } 2>/dev/null
}

# Starts a private X display unless one is given; sets DISPLAY.
kwindra_start_xvfb() {
  if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then return; fi
  local n
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    KWINDRA_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && return; sleep 0.1; done
  done
  echo "Could not start Xvfb" >&2
  return 1
}

kwindra_stop_xvfb() {
  [ -n "${KWINDRA_XVFB_PID:-}" ] && kill "$KWINDRA_XVFB_PID" 2>/dev/null || true
}
