#!/bin/sh
# Installs what is missing, then builds and runs every test on both targets:
# the native build, and the shipped 32-bit module with its tests under Wine.
set -eu
cd "$(dirname "$0")/.."
if [ "$(id -u)" -eq 0 ]; then
    ./tools/install-deps.sh
fi
cmake --workflow --preset dev
cmake --workflow --preset win32
