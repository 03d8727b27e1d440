#!/bin/sh
# The main job: builds the native tree and flies the demonstration scenario,
# a helicopter held in a hover by the gauge module, printing the summary.
# Installs what is missing first (through tools/install-deps.sh, as root).
# Extra arguments go to hoversim, e.g. --trace demo.csv.
set -eu
cd "$(dirname "$0")/.."

missing=""
for tool in cmake ninja g++; do
    command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
for header in toml++/toml.h CLI/CLI.hpp gtest/gtest.h; do
    [ -f "/usr/include/$header" ] || missing="$missing $header"
done
if [ -n "$missing" ]; then
    if [ "$(id -u)" -eq 0 ]; then
        echo "run-demo: installing what is missing:$missing"
        ./tools/install-deps.sh
    else
        echo "run-demo: missing:$missing; run as root to install them (tools/install-deps.sh)" >&2
        exit 2
    fi
fi

cmake --preset dev >/dev/null
cmake --build --preset dev --target hoversim hoversim_module
echo
# Also a plot of the flight and the panel as drawn at 60 s and at the end.
exec ./build/dev/sim/host/hoversim scenarios/demo.toml \
    --plot build/dev/demo_plot.png --panel-at 60,150 --panel-prefix build/dev/demo_panel_ "$@"
