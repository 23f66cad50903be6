#!/usr/bin/env bash
# Builds the Windows program and starts it under Wine (with a private X
# display when there is none).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
source scripts/wine-env.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j2 --target kwindra
saved_lc_all=${LC_ALL-}
kwindra_prepare_wine
# Only the program runs under the Polish locale (code page 1250); the
# script's own messages, and the shell after it, keep the user's.
if [ -n "$saved_lc_all" ]; then export LC_ALL=$saved_lc_all; else unset LC_ALL; fi
if [ -z "${DISPLAY:-}" ]; then
  kwindra_start_xvfb
  trap kwindra_stop_xvfb EXIT
  echo "No display: the program runs in the private X display $DISPLAY"
fi
LC_ALL=pl_PL.UTF-8 "$WINE64" build/win64/kwindra.exe
