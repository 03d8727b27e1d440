#!/bin/sh
# Writes docs/identification/routes.md: on each simulated aircraft, the
# string tuned from a recorded flight by each route, flown on the aircraft
# itself (its validation set), beside the string tuned on its own file
# (docs/tuning/<aircraft>). The routes: the class aircraft rigged to the
# identified control powers (tools/log-to-gauge-line.sh), and the identified
# plant alone (hovertune --plant). Takes about a quarter of an hour on two
# cores. Run from the source tree after a dev build:
#   tools/routes.sh [build/dev]
set -eu
build=${1:-build/dev}
out=docs/identification/routes.md
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tune="$build/sim/tune/hovertune"

# validated AIRCRAFT STRING NAME: one table row's figures for the string
# flown on the aircraft's validation set (score, flights within 2 x bounds,
# the worst flight, smallest disk margin and whether every loop is stable).
validated() {
    status=0
    "$tune" --aircraft "$1" --validate "$2" --out "$work/val-$3" >"$work/val-$3.txt" 2>/dev/null || status=$?
    [ "$status" -le 1 ] || { echo "routes: hovertune --validate failed on $1 ($status)" >&2; exit 1; }
    v="$work/val-$3.txt"
    score=$(sed -n 's/^validation: score \([0-9.]*\) over.*/\1/p' "$v")
    own='s/^On the host.s own loop: \([0-9]*\) of [0-9]* validation flights within the ADS-33 bounds, \([0-9]*\) within [^,]*, the worst at \([0-9.]*\) times its bound.*/'
    within=$(sed -n "$own\\1 | \\2/p" "$v")
    worst=$(sed -n "$own\\3/p" "$v")
    margin=$(sed -n 's/.*smallest disk margin is \([0-9.]*\).*/\1/p' "$v")
    stable="every loop stable"
    grep -q "NOT every closed loop stable" "$v" && stable="NOT every loop stable"
    holds=no
    [ "$status" -eq 0 ] && holds=yes
    echo "$score | $within | $worst | $margin, $stable | $holds"
}

{
    echo "# A string from a recorded flight, flown on the aircraft"
    echo
    echo "Written by \`tools/routes.sh\`. Each aircraft flies its calm identification flight"
    echo "(\`scenarios/ident_<aircraft>.toml\`, latency one visual frame) with the logger; the log is"
    echo "identified, and a string is tuned (hovertune's defaults) by two routes: on the class's"
    echo "aircraft file rigged to the identified control powers (\`tools/log-to-gauge-line.sh\`), and"
    echo "on the identified plant alone (\`hovertune --plant\`). Each string, and the one tuned on the"
    echo "aircraft's own file (\`docs/tuning/<aircraft>\`), is then flown on the aircraft itself: its"
    echo "validation set, 18 flights on plants, latencies, winds and seeds the search never sees. The"
    echo "string holds when every flight stays within 2 times its ADS-33 bounds and every loop closes"
    echo "stable. Here the class file is the aircraft itself, so the rigged route shows what the"
    echo "errors of the identified control powers alone cost; in a pilot's simulator the class file"
    echo "differs from the helicopter in everything else as well."
    echo
    echo "| aircraft | route | log to gauge line, s | validation score | of 18 flights: within the bounds | within 2 x bounds | worst flight / bound | smallest disk margin | holds |"
    echo "|---|---|---|---|---|---|---|---|---|"
} >"$work/routes.md"

for aircraft in bo105 uh1h puma; do
    mkdir -p "$work/$aircraft"
    "$build/sim/scenario/hoversim" "scenarios/ident_$aircraft.toml" --log-dir "$work/$aircraft" >/dev/null
    log=$(ls "$work/$aircraft"/hoverlog-*.csv)

    started=$(date +%s)
    ./tools/log-to-gauge-line.sh "$aircraft" "$log" --out "$work/$aircraft/rigged" >/dev/null 2>&1 || true
    rigged_s=$(($(date +%s) - started))
    # The plant route: the same identification, then a tune on the plant.
    started=$(date +%s)
    "$build/sim/ident/hoverident" "$log" --out "$work/$aircraft/plant.toml" >/dev/null
    "$tune" --plant "$work/$aircraft/plant.toml" --out "$work/$aircraft/plant" >/dev/null 2>&1 || true
    plant_s=$(($(date +%s) - started))

    file=$(cat "docs/tuning/$aircraft/parameters.txt")
    rigged=$(cat "$work/$aircraft/rigged/tune/parameters.txt")
    plant=$(cat "$work/$aircraft/plant/parameters.txt")
    {
        echo "| $aircraft | tuned on its own file | - | $(validated "$aircraft" "$file" "$aircraft-file") |"
        echo "| $aircraft | class rigged to the log | $rigged_s | $(validated "$aircraft" "$rigged" "$aircraft-rigged") |"
        echo "| $aircraft | identified plant | $plant_s | $(validated "$aircraft" "$plant" "$aircraft-plant") |"
    } >>"$work/routes.md"
    {
        echo "$aircraft, tuned on its own file: \`$file\`"
        echo
        echo "$aircraft, class rigged to the log ($(sed -n 's/^# from .*(blade angle per count over the class.s: \(.*\))\.$/\1/p' \
            "$work/$aircraft/rigged/aircraft.toml")): \`$rigged\`"
        echo
        echo "$aircraft, identified plant: \`$plant\`"
        echo
    } >>"$work/strings.md"
    echo "routes: $aircraft done" >&2
done

{
    cat "$work/routes.md"
    echo
    echo "The log-to-gauge-line time is the identification and the tune on this machine ($(nproc) cores),"
    echo "the flight itself not counted."
    echo
    echo "## The strings"
    echo
    cat "$work/strings.md"
} >"$out"
echo "$out"
