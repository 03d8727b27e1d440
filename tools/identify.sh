#!/bin/sh
# Writes docs/identification/<flight>.md: each identification flight flown
# with the logger by hoversim, identified by hoverident and set beside the
# flight model's linearisation. Run from the source tree after a dev build:
#   tools/identify.sh [build/dev]
set -eu
build=${1:-build/dev}
out=docs/identification
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
for flight in bo105 bo105_light uh1h uh1h_light puma puma_light; do
    aircraft=${flight%_light}
    mkdir -p "$work/$flight"
    "$build/sim/scenario/hoversim" "scenarios/ident_$flight.toml" --log-dir "$work/$flight" > /dev/null
    (cd "$work/$flight" && "$OLDPWD/$build/sim/ident/hoverident" hoverlog-*.csv --against "$aircraft") \
        > "$out/$flight.md"
    echo "$out/$flight.md"
done
