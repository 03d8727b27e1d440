#!/bin/sh
# SPDX-License-Identifier: MIT
#
# hoverwin under a real X server: start it with a scenario, click the
# gauge's power switch, guard and engage button with real pointer events at
# the places its layout lines give from the module's mouse table, check
# through its state lines that the hold engaged, then take a screenshot of
# the whole X screen and check that it shows the panel with the engaged lamp
# lit and the situation view.
#
#   xvfb_session.sh HOVERWIN SCREENCHECK SCENARIO BITMAP_DIR OUT_DIR
#
# Exit status 77 (skipped) when Xvfb, xdotool, xwd or convert is missing.
set -eu
if [ "${1:-}" != "--inside" ]; then
    for tool in xvfb-run Xvfb xdotool xwd convert; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "skipped: $tool is not installed (tools/install-deps.sh installs it)"
            exit 77
        fi
    done
    exec xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" --inside "$@"
fi
shift
HOVERWIN=$1 SCREENCHECK=$2 SCENARIO=$3 BITMAPS=$4 OUT=$5
mkdir -p "$OUT"
STATE=$OUT/state.txt
rm -f "$STATE" "$OUT/screen.xwd" "$OUT/screen.png" "$OUT"/hoverwin_*.png

"$HOVERWIN" "$SCENARIO" --state-out "$STATE" --picture-dir "$OUT" >"$OUT/hoverwin.out" 2>"$OUT/hoverwin.err" &
PID=$!
fail() {
    echo "FAIL: $*"
    echo "--- hoverwin's output"; cat "$OUT/hoverwin.out" "$OUT/hoverwin.err" 2>/dev/null || true
    echo "--- last state"; grep '^state' "$STATE" 2>/dev/null | tail -3 || true
    kill "$PID" 2>/dev/null || true
    exit 1
}
# Waits up to $1 seconds for a line matching $2 in the state file.
wait_for() {
    n=0
    while ! grep -q "$2" "$STATE" 2>/dev/null; do
        n=$((n + 1))
        [ "$n" -le $(($1 * 10)) ] || return 1
        kill -0 "$PID" 2>/dev/null || fail "hoverwin ended early"
        sleep 0.1
    done
}
wait_for 60 '^state t=1\.' || fail "hoverwin wrote no state within 60 s"
WINDOW=$(xdotool search --name '^hoverwin$' | head -n 1)
[ -n "$WINDOW" ] || fail "no hoverwin window on the X screen"
eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
echo "window $WINDOW at $X,$Y, $WIDTH x $HEIGHT"

area() { grep "^area $1 " "$STATE" | tail -n 1 | cut -d' ' -f3-; }
for name in power guard engage; do
    POINT=$(area "$name")
    [ -n "$POINT" ] || fail "hoverwin gave no place for the $name area"
    echo "click $name at $POINT"
    # shellcheck disable=SC2086
    xdotool mousemove --window "$WINDOW" $POINT click 1
    sleep 1
done
wait_for 30 ' engaged=1 ' || fail "the hold did not engage"
grep ' engaged=1 ' "$STATE" | head -n 1

# Squeezed to a single pixel and back, the window flies on.
COUNT=$(grep -c '^state' "$STATE")
xdotool windowsize --sync "$WINDOW" 1 1 || xdotool windowsize "$WINDOW" 1 1
n=0
while [ "$(grep -c '^state' "$STATE")" -lt $((COUNT + 2)) ]; do
    n=$((n + 1)); [ "$n" -le 100 ] || fail "no state lines with the window at one pixel"; sleep 0.1
done
kill -0 "$PID" 2>/dev/null || fail "hoverwin ended when its window shrank"
xdotool windowsize --sync "$WINDOW" "$WIDTH" "$HEIGHT" || xdotool windowsize "$WINDOW" "$WIDTH" "$HEIGHT"
sleep 0.5

# The simulation paused from the keyboard, so the helicopter stands still
# for the screenshot; the host's frames (and the state lines) run on.
xdotool windowfocus --sync "$WINDOW" key space
wait_for 30 ' engaged=1 .* paused=1' || fail "the space key did not pause"
COUNT=$(grep -c '^state' "$STATE")
n=0
while [ "$(grep -c '^state' "$STATE")" -lt $((COUNT + 2)) ]; do
    n=$((n + 1)); [ "$n" -le 100 ] || fail "no state lines while paused"; sleep 0.1
done

xwd -root -silent -out "$OUT/screen.xwd"
convert "$OUT/screen.xwd" "$OUT/screen.png"
"$SCREENCHECK" "$OUT/screen.png" "$STATE" "$BITMAPS" "$X" "$Y" || fail "the screen does not show it"

# F12 writes the window's own picture.
xdotool key F12
n=0
while ! ls "$OUT"/hoverwin_*.png >/dev/null 2>&1; do
    n=$((n + 1)); [ "$n" -le 100 ] || fail "F12 wrote no picture"; sleep 0.1
done

xdotool key Escape
n=0
while kill -0 "$PID" 2>/dev/null; do
    n=$((n + 1)); [ "$n" -le 100 ] || fail "hoverwin did not quit on Escape"; sleep 0.1
done
STATUS=0
wait "$PID" || STATUS=$?
grep -q '^result:' "$OUT/hoverwin.out" || fail "no summary on quit"
[ "$STATUS" -eq 0 ] || fail "hoverwin exited with $STATUS"
echo "hoverwin engaged the hold under X, showed it, and quit cleanly"
