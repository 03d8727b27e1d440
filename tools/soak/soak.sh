#!/bin/sh
# The full soak: ten million frames (or the first argument) of random host
# input, clicks, draws and joystick faults, once on the plain native build
# (where resident memory is measured) and once under AddressSanitizer and
# UndefinedBehaviorSanitizer (where any report ends the run). The second
# argument is the seed, 1 by default. Builds only the soak program of the
# `dev` and `asan` presets.
set -eu
cd "$(dirname "$0")/../.."
frames="${1:-10000000}"
seed="${2:-1}"
for preset in dev asan; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target hover_soak >/dev/null
done
echo "== native build"
build/dev/tools/soak/hover_soak --frames "$frames" --seed "$seed"
echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:strict_string_checks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    build/asan/tools/soak/hover_soak --frames "$frames" --seed "$seed"
