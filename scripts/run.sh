#!/usr/bin/env bash
# Builds the Windows program and starts it under Wine (with a private X
# display when there is none).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
source scripts/wine-env.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j2 --target kwindra
kwindra_prepare_wine
if [ -z "${DISPLAY:-}" ]; then
  kwindra_start_xvfb
  trap kwindra_stop_xvfb EXIT
  echo "No display: the program runs in the private X display $DISPLAY"
fi
"$WINE64" build/win64/kwindra.exe
