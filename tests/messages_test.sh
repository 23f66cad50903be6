#!/usr/bin/env bash
# Every text of the command line has its Polish translation, and the
# catalogue compiles cleanly.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/kwindra-messages.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$root"
xgettext --from-code=UTF-8 --keyword=Tr --keyword=Trf --keyword=N_ --package-name=kwindra-cli \
  -o "$work/kwindra-cli.pot" cli/*.cpp
msgcmp po/pl.po "$work/kwindra-cli.pot" || { echo "FAIL: untranslated texts (po/update-catalogue.sh)"; exit 1; }
msgfmt --check -o /dev/null po/pl.po
echo "catalogue complete"
