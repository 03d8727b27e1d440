#!/bin/sh
# Builds the `bench` preset and runs the benchmarks once: the console report,
# then a summary with the pre-update frame as a multiple of its floor, the
# draw pass and the simulator's frames per second. Then counts, under
# valgrind's callgrind, the instructions of one frame of each kind, a figure
# that does not move with the machine's load.
#
#   tools/bench.sh                 everything
#   BENCH_REPETITIONS=9 tools/bench.sh
#   BENCH_ARGS='--benchmark_filter=preUpdate|floor' tools/bench.sh
#
# Environment: BENCH_BUILD_DIR (build/bench), BENCH_REPETITIONS (5),
# BENCH_COUNT_FRAMES (100000, frames counted under callgrind), BENCH_ARGS
# (more Google Benchmark flags).
set -eu
cd "$(dirname "$0")/.."
build="${BENCH_BUILD_DIR:-build/bench}"
repetitions="${BENCH_REPETITIONS:-5}"
frames="${BENCH_COUNT_FRAMES:-100000}"

cmake --preset bench -B "$build" >/dev/null
cmake --build "$build" -j2 --target hover_bench >/dev/null
program="$build/bench/hover_bench"

echo "machine: $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)," \
    "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"

# Repetitions run in random order, so a burst of load from elsewhere falls
# on the frame and on its floor alike; the summary takes the medians.
# shellcheck disable=SC2086
"$program" --benchmark_repetitions="$repetitions" --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true ${BENCH_ARGS:-}

if ! command -v valgrind >/dev/null 2>&1; then
    echo "valgrind is not installed: no instruction counts"
    exit 0
fi
out="$build/callgrind.out"
valgrind --tool=callgrind --callgrind-out-file="$out" "$program" --count-frames "$frames" >/dev/null 2>&1
callgrind_annotate --inclusive=yes --show-percs=no "$out" 2>/dev/null | awk -v n="$frames" '
    function count(name) { return (name in ir) ? ir[name] / n : 0 }
    {
        for (i = 2; i <= NF; ++i) {
            if ($i ~ /:hover_frames_[a-z_]+$/) {
                name = $i
                sub(/.*:hover_frames_/, "", name)
                value = $1
                gsub(",", "", value)
                ir[name] = value + 0
            }
        }
    }
    END {
        printf "\nInstructions per frame, counted by callgrind over %d frames of each kind\n", n
        split("disengaged engaged", states, " ")
        for (k = 1; k <= 2; ++k) {
            s = states[k]
            frame = count("preupdate_" s)
            floor = count("floor_" s)
            law = count("bare_law_" s)
            ratio = (floor > 0) ? frame / floor : 0
            printf "  %-10s  frame %6.0f   floor %6.0f   ratio %.2f   bare law %6.0f\n", s, frame, floor, ratio, law
        }
        printf "  draw pass   %6.0f\n", count("draw_pass")
    }'
