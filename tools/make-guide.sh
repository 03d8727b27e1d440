#!/bin/sh
# Regenerates every picture of docs/guide.md from the real module: builds the
# native tree, draws the panel states through the simulated host's renderer
# (guidepictures) and flies the demonstration and the engaging scenario for
# the flight plots. Every picture is written in indexed colour (the plots and
# guidepictures write them so; the host's panel pictures are rewritten so by
# palettepng).
# Then `git diff --stat docs/images` shows what changed.
#
#   tools/make-guide.sh [BUILD_DIR]      (default: build/dev, the dev preset)
set -eu
cd "$(dirname "$0")/.."
build="${1:-build/dev}"

if [ ! -f "$build/CMakeCache.txt" ]; then
    if [ "$build" = "build/dev" ]; then
        cmake --preset dev >/dev/null
    else
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    fi
fi
cmake --build "$build" --target guidepictures palettepng hover

mkdir -p docs/images
"$build/sim/guide/guidepictures" --module "$build/gauge/module/hover.so" --bitmaps gauge/display/bitmaps --out docs/images

# The flight plot, when this hoversim can draw one.
if cmake --build "$build" --target hoversim hoversim_module >/dev/null 2>&1 &&
    "$build/sim/scenario/hoversim" --help 2>/dev/null | grep -q -- '--plot'; then
    "$build/sim/scenario/hoversim" scenarios/demo.toml --quiet \
        --plot docs/images/flight_demo.png --panel-at 60 --panel-scale 2 \
        --panel-prefix docs/images/flight_demo_panel_ || true
    "$build/sim/plot/palettepng" docs/images/flight_demo_panel_*.png
    echo "docs/images/flight_demo.png"
    # Engaging out of trim and engaging again after a disengagement.
    "$build/sim/scenario/hoversim" scenarios/engage_bump_and_reset.toml --quiet \
        --plot docs/images/flight_engage_bump_and_reset.png || true
    echo "docs/images/flight_engage_bump_and_reset.png"
else
    echo "make-guide: this hoversim draws no plots; the flight plot is left as it is" >&2
fi
