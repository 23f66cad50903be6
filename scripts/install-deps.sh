#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
set -euo pipefail
packages=(cmake g++ make clang-format googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64 xvfb xdotool
  imagemagick locales python3 libxml2-utils librsvg2-bin python3-ezdxf
  libpng-dev libjpeg62-turbo-dev libtiff-dev libwebp-dev pkg-config python3-pil python3-numpy python3-scipy gettext go-md2man dpkg-dev
  man-db unzip fonts-wine hershey-fonts-data)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep 'install ok installed' >/dev/null || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" != 0 ]; then
    echo "Missing packages and not root: run as root or install them: ${missing[*]}" >&2
    exit 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
