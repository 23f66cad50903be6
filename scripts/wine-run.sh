#!/usr/bin/env bash
# Runs a Windows executable under Wine in the program's environment
# (the emulator CTest runs the cross-built tests with).
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
kwindra_prepare_wine
exec "$WINE64" "$@"
