#!/bin/sh
# From recorded flights to a gauge line for hover.gau, in one command:
# identifies the hover in the logs (hoverident), rigs the class aircraft's
# file to the identified control powers, tunes on it (hovertune) and prints
# the gauge line. Builds the two programs in the native tree first.
#   tools/log-to-gauge-line.sh CLASS LOG.csv... [--out DIR] [-- hovertune options]
# CLASS is the aircraft file of the helicopter's class: bo105 (hingeless),
# uh1h (teetering), puma (articulated) or a path. DIR (default
# tune-from-log) gets ident.md and plant.toml (the identification),
# aircraft.toml (the rigged class) and tune/ (hovertune's report).
# Exit status: hoverident's (1 the log cannot identify or the class cannot
# be rigged to it, 2 bad input), else hovertune's (0 the string holds its
# validation set, 1 written but it does not).
set -eu
usage() {
    echo "usage: tools/log-to-gauge-line.sh CLASS LOG.csv... [--out DIR] [-- hovertune options]" >&2
    exit 2
}
[ $# -ge 2 ] || usage
root=$(cd "$(dirname "$0")/.." && pwd)
class=$1
shift
out=tune-from-log
logs=""
while [ $# -gt 0 ]; do
    case "$1" in
    --out) [ $# -ge 2 ] || usage; out=$2; shift 2 ;;
    --out=*) out=${1#--out=}; shift ;;
    --) shift; break ;;
    -*) echo "log-to-gauge-line: unknown option $1 (hovertune's options go after --)" >&2; exit 2 ;;
    *) logs="$logs
$1"; shift ;;
    esac
done
[ -n "$logs" ] || usage

# HOVER_BUILD_DIR names a native build that has the programs already.
build=${HOVER_BUILD_DIR:-}
if [ -z "$build" ]; then
    build=$root/build/dev
    if [ ! -x "$build/sim/ident/hoverident" ] || [ ! -x "$build/sim/tune/hovertune" ]; then
        (cd "$root" && cmake --preset dev >/dev/null && cmake --build --preset dev --target hoverident hovertune hover >&2)
    fi
fi
mkdir -p "$out"
# The logs are passed one per line so that names with spaces stay whole.
old_ifs=$IFS
IFS='
'
# shellcheck disable=SC2086
"$build/sim/ident/hoverident" $logs --class "$class" --aircraft-out "$out/aircraft.toml" \
    --out "$out/plant.toml" --report "$out/ident.md" >/dev/null
IFS=$old_ifs
status=0
"$build/sim/tune/hovertune" --aircraft "$out/aircraft.toml" --out "$out/tune" "$@" >&2 || status=$?
if [ -f "$out/tune/gauge_line.txt" ]; then
    cat "$out/tune/gauge_line.txt"
fi
exit "$status"
