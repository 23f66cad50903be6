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
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -finput-charset=UTF-8 -fexec-charset=UTF-8 -I"$root" \
  "$root"/fuzz/bmp_reader_fuzz.cpp "$root"/tests/recording_seam.cpp \
  "$root"/tests/straightforward_simplifier.cpp \
  "$root"/document/*.cpp "$root"/vectorize/*.cpp -o "$build/bmp_reader_fuzz"
args=(-dict="$root/fuzz/bmp.dict" -max_len=4096 -timeout=10 -print_final_stats=1)
[ "$seconds" = 0 ] || args+=(-max_total_time="$seconds")
cd "$build"
exec ./bmp_reader_fuzz "${args[@]}" corpus seeds
