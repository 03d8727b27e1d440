#!/bin/sh
# Takes the two pictures of hoverwin in docs/images from the real program on
# a real X server (Xvfb): the demonstration flown live at 4 times real time,
# the X screen captured (xwd), cut to the window (convert) and written in
# indexed colour as the other pictures are (palettepng).
#   docs/images/hoverwin_demo.png   the hold at 100 ft after the gust (day)
#   docs/images/hoverwin_night.png  the climb to 150 ft at night
#
#   tools/window-pictures.sh [BUILD_DIR]      (default: build/dev)
set -eu
cd "$(dirname "$0")/.."
build="${1:-build/dev}"
if [ "${2:-}" != "--inside" ]; then
    cmake --build "$build" --target hoverwin hoverwin_module palettepng >/dev/null
    exec xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" "$build" --inside
fi
out=$(mktemp -d)
state="$out/state.txt"
"$build/sim/window/hoverwin" scenarios/demo.toml --speed 4 --state-out "$state" >"$out/out.txt" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true; rm -rf "$out"' EXIT
wait_for() {
    n=0
    while ! grep -q "$1" "$state" 2>/dev/null; do
        n=$((n + 1)); [ "$n" -le 1200 ] || { echo "window-pictures: no '$1'" >&2; exit 1; }
        sleep 0.1
    done
}
wait_for '^state t=1\.'
window=$(xdotool search --name '^hoverwin$' | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$window")"
shot() {
    xwd -root -silent -out "$out/screen.xwd"
    convert "$out/screen.xwd" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "docs/images/$1"
    "$build/sim/plot/palettepng" "docs/images/$1"
    echo "docs/images/$1"
}
wait_for '^state t=62\.'
shot hoverwin_demo.png
xdotool windowfocus --sync "$window" key n
wait_for '^state t=78\.'
shot hoverwin_night.png
xdotool key Escape
wait "$pid" || true
