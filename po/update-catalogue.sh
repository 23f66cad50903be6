#!/usr/bin/env bash
# Gathers the command line's texts into kwindra-cli.pot and merges them into
# the Polish catalogue, for a translator to fill in what is new.
set -euo pipefail
cd "$(dirname "$0")/.."
xgettext --from-code=UTF-8 --keyword=Tr --keyword=Trf --keyword=N_ --package-name=kwindra-cli \
  -o po/kwindra-cli.pot cli/*.cpp
msgmerge --quiet --update --backup=none po/pl.po po/kwindra-cli.pot
