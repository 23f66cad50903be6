#!/usr/bin/env bash
# Builds a fuzzer with clang and runs it over its seed corpus (clang from
# Debian, installed when missing). Targets: bmp (the window program's BMP
# reader, the tracer and the simplifiers) and pictures (the decoders of
# every format, the ink and the drawing mode).
#   fuzz/run.sh [SECONDS [TARGET]]
#   fuzz/run.sh            the BMP reader for a minute, as the tests do
#   fuzz/run.sh 45 pictures
#   fuzz/run.sh 0 TARGET   until stopped
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
target=${2:-bmp}
"$root/scripts/install-deps.sh"
build=$root/build/fuzz
flags=(-std=c++20 -O1 -g -fsanitize=address,undefined -fno-sanitize-recover=all
  -finput-charset=UTF-8 -fexec-charset=UTF-8 -I"$root")
if [ "$target" = pictures ]; then
  mkdir -p "$build/picture-corpus"
  /usr/bin/python3 "$root/tests/make_pictures.py" "$build/picture-seeds" >/dev/null
  rm -f "$build/picture-seeds"/*.gray "$build/picture-seeds"/*.txt
  cp "$root"/fuzz/finds/* "$build/picture-seeds/"  # what longer runs found, once mended
  # Comparison hooks only in the decoders, whose header checks they help
  # pass: in the ink and the drawing mode's pixel loops they took half the
  # time of every run.
  rm -rf "$build/picture-obj" && mkdir -p "$build/picture-obj"
  objects=()
  for source in "$root"/ink/*.cpp "$root"/drawing/*.cpp "$root"/curves/*.cpp \
    "$root"/vectorize/*.cpp "$root"/document/app_state.cpp "$root"/document/allocation.cpp; do
    object=$build/picture-obj/$(basename "$(dirname "$source")")-$(basename "$source" .cpp).o
    clang++ "${flags[@]}" -fsanitize=fuzzer-no-link -fno-sanitize-coverage=trace-cmp \
      -c "$source" -o "$object" &
    objects+=("$object")
    [ "$(jobs -r | wc -l)" -lt "$(nproc)" ] || wait -n
  done
  wait
  clang++ "${flags[@]}" -fsanitize=fuzzer "$root"/fuzz/picture_fuzz.cpp "$root"/decode/*.cpp \
    "${objects[@]}" -lpng -ljpeg -ltiff -lwebp -o "$build/picture_fuzz"
  cd "$build"
  args=(-max_len=20000 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1)
  [ "$seconds" = 0 ] || args+=(-max_total_time="$seconds")
  exec ./picture_fuzz "${args[@]}" picture-corpus picture-seeds
fi
mkdir -p "$build/corpus"
python3 "$root/fuzz/make-seeds.py" "$build/seeds"
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
