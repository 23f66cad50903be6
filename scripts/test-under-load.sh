#!/usr/bin/env bash
# The README's test command N times in a row (default 5), each from a fresh
# clone of this checkout's HEAD, while a release build loops on all cores
# in another clone: a test that passes only on an idle machine fails here.
# Prints one line a run (exit status, seconds, commit); the logs stay in
# the work folder. Stops at the first failure unless --all is given.
#   scripts/test-under-load.sh [N] [--all] [--work DIR]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=5 all=0 work=${TMPDIR:-/tmp}/kwindra-under-load
while [ $# -gt 0 ]; do
  case $1 in
    --all) all=1 ;;
    --work) work=$2; shift ;;
    *) runs=$1 ;;
  esac
  shift
done
mkdir -p "$work"
commit=$(git -C "$root" rev-parse HEAD)
rm -rf "$work/load" && git clone -q "$root" "$work/load" && git -C "$work/load" checkout -q "$commit"
stop=$work/stop
rm -f "$stop"
# The load in a session of its own, so that the build it is running can be
# stopped with it.
cd "$work/load" && cmake --preset release >/dev/null || exit 1
setsid bash -c 'while [ ! -f "$1" ]; do
  cmake --build --preset release -j"$(nproc)" --clean-first >/dev/null 2>&1; done' _ "$stop" &
load=$!
cd "$root"
trap 'touch "$stop"; kill -- -$load 2>/dev/null; wait $load 2>/dev/null' EXIT
status=0
for n in $(seq 1 "$runs"); do
  rm -rf "$work/clone" && git clone -q "$root" "$work/clone" && git -C "$work/clone" checkout -q "$commit"
  start=$(date +%s)
  (cd "$work/clone" && env -u DISPLAY CI=true bash .ci/run >"$work/run-$n.log" 2>&1)
  rc=$?
  echo "run $n of $runs: exit $rc in $(($(date +%s) - start)) s at ${commit:0:7} (log: $work/run-$n.log)"
  if [ $rc -ne 0 ]; then
    status=1
    [ $all -eq 1 ] || break
  fi
done
exit $status
