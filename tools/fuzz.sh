#!/bin/sh
# Runs every fuzz target for a bounded time: the first argument, or
# FUZZ_SECONDS, seconds each (60 by default). Builds the `fuzz` preset first
# (into FUZZ_BUILD_DIR, build/fuzz by default). Each target starts from its
# committed corpus in fuzz/corpus, which it only reads, and from what earlier
# runs found, kept in the build tree. A crash, a sanitizer report, a broken
# property or a hang stops the target, leaves the input in the build tree's
# artifacts directory, and makes the script fail once every target has run.
set -eu
cd "$(dirname "$0")/.."
seconds="${1:-${FUZZ_SECONDS:-60}}"
build="${FUZZ_BUILD_DIR:-build/fuzz}"
targets="fuzz_params fuzz_frames fuzz_joystick"

# String functions are checked over the whole string they are given, not
# only the part they looked at.
export ASAN_OPTIONS="${ASAN_OPTIONS:-strict_string_checks=1:detect_stack_use_after_return=1}"

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j2 --target hover_fuzzers >/dev/null

status=0
mkdir -p "$build/artifacts"
for target in $targets; do
    work="$build/corpus/$target"
    log="$build/$target.log"
    mkdir -p "$work"
    set -- -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-"
    case "$target" in
        fuzz_params) set -- "$@" -max_len=1024 -dict=fuzz/fuzz_params.dict ;;
        *) set -- "$@" -max_len=4096 ;;
    esac
    if "$build/fuzz/$target" "$@" "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
        runs=$(awk '/stat::number_of_executed_units/ {print $2}' "$log")
        corpus=$(find "$work" "fuzz/corpus/$target" -type f | wc -l)
        echo "$target: ${seconds} s, ${runs:-?} executions, corpus $corpus inputs: passed"
    else
        echo "$target: FAILED after at most ${seconds} s; the log is $log:"
        grep -E 'PROMISE BROKEN|ERROR: |runtime error|SUMMARY|Test unit written' "$log" | head -20
        status=1
    fi
done
exit $status
