#!/bin/sh
# Draws the time histories of every tuning report in docs/tuning (or of the
# report folders named): for each folder, the command its report.md was
# written by, given again with --draw-histories, flies the probe flight with
# the default gains, the hand-found string and the folder's tuned string and
# writes history_default.png, history_hand_found.png and history_tuned.png
# beside the report, in a second or two each. They are not committed
# (.gitignore): a tune draws the same pictures whenever they are asked for.
#
#   tools/tuning-histories.sh [REPORT_DIR ...]
set -eu
cd "$(dirname "$0")/.."
build=build/dev
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset dev >/dev/null
fi
cmake --build "$build" --target hovertune >/dev/null
if [ $# -eq 0 ]; then
    set -- docs/tuning/*/
fi
for dir in "$@"; do
    dir=${dir%/}
    # shellcheck disable=SC2016 # the backquotes are the report's, not the shell's
    command=$(sed -n 's/^Command: `hovertune \(.*\)`$/\1/p' "$dir/report.md" | sed 's/ --out [^ ]*//')
    if [ -z "$command" ]; then
        echo "tuning-histories: $dir/report.md names no hovertune command" >&2
        exit 1
    fi
    # The report's own options; the folder is the one it lies in.
    # shellcheck disable=SC2086 # the options are words of the command line
    "$build/sim/tune/hovertune" $command --out "$dir" --draw-histories
done
