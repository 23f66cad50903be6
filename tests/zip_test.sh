#!/usr/bin/env bash
# The Windows zip, made with CPack from the win64 build: the program, the
# README and the sample pictures, and a program that needs only system DLLs.
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d /tmp/kwindra-zip.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
(cd "$build" && cpack -G ZIP -B "$work/out" >/dev/null) || fail "cpack"
zip=$(ls "$work"/out/kwindra-*-win64.zip)
echo "package: $(basename "$zip")"
unzip -q "$zip" -d "$work/root"
folder=$(ls -d "$work"/root/kwindra-*)
for f in kwindra.exe README.md examples/spiral.bmp examples/curve.bmp examples/l-shape.bmp; do
  [ -s "$folder/$f" ] || fail "the zip lacks $f"
done
dlls=$(x86_64-w64-mingw32-objdump -p "$folder/kwindra.exe" | awk '/DLL Name/ {print tolower($3)}' | sort -u)
for dll in $dlls; do
  case "$dll" in
    kernel32.dll | user32.dll | gdi32.dll | comctl32.dll | comdlg32.dll | msvcrt.dll | advapi32.dll | shell32.dll) ;;
    *) fail "kwindra.exe needs $dll" ;;
  esac
done
echo "zip checked: $(unzip -Z1 "$zip" | wc -l) entries; DLLs: $(echo $dlls)"
