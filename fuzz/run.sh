#!/usr/bin/env bash
# Builds the reader's fuzzer with clang and runs it over its seed corpus
# (clang from Debian, installed when missing).
#   fuzz/run.sh            bounded run (about a minute), as the tests do
#   fuzz/run.sh 0          until stopped (or give a number of seconds)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
"$root/scripts/install-deps.sh"
build=$root/build/fuzz
mkdir -p "$build/corpus"
python3 "$root/fuzz/make-seeds.py" "$build/seeds"
flags=(-std=c++20 -O1 -g -fsanitize=address,undefined -fno-sanitize-recover=all
  -finput-charset=UTF-8 -fexec-charset=UTF-8 -I"$root")
# The tracer and the simplifiers run long loops on every accepted picture:
# edge coverage only there, so the comparison hooks meant for the reader's
# header checks do not slow every run down.
mkdir -p "$build/obj"
objects=()
for source in "$root"/vectorize/*.cpp "$root"/tests/straightforward_simplifier.cpp; do
  object=$build/obj/$(basename "$source" .cpp).o
  clang++ "${flags[@]}" -fsanitize=fuzzer-no-link -fno-sanitize-coverage=trace-cmp \
    -c "$source" -o "$object"
  objects+=("$object")
done
clang++ "${flags[@]}" -fsanitize=fuzzer \
  "$root"/fuzz/bmp_reader_fuzz.cpp "$root"/tests/recording_seam.cpp "$root"/document/*.cpp \
  "${objects[@]}" -o "$build/bmp_reader_fuzz"
args=(-dict="$root/fuzz/bmp.dict" -max_len=4096 -timeout=10 -print_final_stats=1)
[ "$seconds" = 0 ] || args+=(-max_total_time="$seconds")
cd "$build"
exec ./bmp_reader_fuzz "${args[@]}" corpus seeds
