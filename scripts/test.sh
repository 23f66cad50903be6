#!/usr/bin/env bash
# Builds everything and runs every test: the native document and vectorizer
# tests under ASan + UBSan, bounded fuzzing of the BMP reader and of the
# picture decoders, the Windows
# build's tests under Wine in a private X display, and the 32-bit Windows compile.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
source scripts/wine-env.sh

cmake --preset native >/dev/null
cmake --build --preset native -j2
cmake --preset release >/dev/null
cmake --build --preset release -j2
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j2
cmake --preset i686 >/dev/null
cmake --build --preset i686 -j2

status=0
ctest --preset native || status=1
ctest --preset release || status=1
# The fuzzers over their seeds, for a bounded time each.
for target in bmp pictures; do
  echo "Fuzzing: $target for 40 s"
  fuzz/run.sh 40 "$target" >"build/fuzz-$target.log" 2>&1 ||
    { tail -40 "build/fuzz-$target.log"; status=1; }
  grep -E '^(stat::number_of_executed_units|Done)' "build/fuzz-$target.log" || true
done

kwindra_prepare_wine
kwindra_start_xvfb
cleanup() {
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
  kwindra_stop_xvfb
}
trap cleanup EXIT
# A persistent wine server so that every test does not wait for it to exit.
"$WINESERVER" -p
"$WINE64" cmd /c exit </dev/null >/dev/null 2>&1 || true
# The black-box road compares the window program's saves with the command line's.
export KWINDRA_CLI=$PWD/build/native/kwindra-cli
ctest --preset win64 || status=1
exit $status
