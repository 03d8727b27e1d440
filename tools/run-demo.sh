#!/bin/sh
# The main job: builds the native tree and flies the demonstration scenario,
# a helicopter held in a hover by the gauge module, printing the summary.
# Installs what is missing first (through tools/install-deps.sh, as root).
# Extra arguments go to hoversim, e.g. --trace demo.csv.
set -eu
cd "$(dirname "$0")/.."

missing=$(./tools/install-deps.sh --missing native | tr '\n' ' ')
if [ -n "$missing" ]; then
    if [ "$(id -u)" -eq 0 ]; then
        ./tools/install-deps.sh native
    else
        echo "run-demo: missing packages: $missing; run as root to install them (tools/install-deps.sh)" >&2
        exit 2
    fi
fi

cmake --preset dev >/dev/null
cmake --build --preset dev --target hoversim hoversim_module
echo
# Also a plot of the flight and the panel as drawn at 60 s and at the end.
exec ./build/dev/sim/scenario/hoversim scenarios/demo.toml \
    --plot build/dev/demo_plot.png --panel-at 60,150 --panel-prefix build/dev/demo_panel_ "$@"
