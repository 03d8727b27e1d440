#!/bin/sh
# Tunes the gauge's parameter string for a helicopter from a fresh clone:
# installs what is missing (through tools/install-deps.sh, as root), builds
# the native tree's hovertune and runs it.
#   tools/tune.sh AIRCRAFT [hovertune options]
# AIRCRAFT is a name of aircraft/ (bo105, uh1h, puma) or the path of an
# aircraft file; the results go to tune-<name>/ unless --out is given.
set -eu
cd "$(dirname "$0")/.."
if [ $# -lt 1 ]; then
    echo "usage: tools/tune.sh AIRCRAFT [hovertune options]" >&2
    exit 2
fi
aircraft=$1
shift

missing=$(./tools/install-deps.sh --missing native | tr '\n' ' ')
if [ -n "$missing" ]; then
    if [ "$(id -u)" -eq 0 ]; then
        ./tools/install-deps.sh native
    else
        echo "tune: missing packages: $missing; run as root to install them (tools/install-deps.sh)" >&2
        exit 2
    fi
fi

cmake --preset dev >/dev/null
cmake --build --preset dev --target hovertune
name=$(basename "$aircraft" .toml)
case " $* " in
*" --out "* | *" --out="*) exec ./build/dev/sim/tune/hovertune --aircraft "$aircraft" "$@" ;;
*) exec ./build/dev/sim/tune/hovertune --aircraft "$aircraft" --out "tune-$name" "$@" ;;
esac
