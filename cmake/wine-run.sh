#!/bin/sh
# Runs a Windows program under Wine in a prefix of its own inside the build
# tree. The first caller creates the prefix while holding a lock, so tests
# started in parallel do not race to create it.
set -eu
prog="$1"
shift
build_root="${HOVER_WINE_ROOT:-$(pwd)}"
while [ ! -f "$build_root/CMakeCache.txt" ] && [ "$build_root" != "/" ]; do
    build_root=$(dirname "$build_root")
done
export WINEPREFIX="${WINEPREFIX:-$build_root/wineprefix}"
export WINEDEBUG=-all
# dinput=n: the DirectInput stand-in's dinput.dll beside the program, never
# Wine's own, so that the joystick tests and the stick scenarios can script
# the joystick the module reads.
export WINEDLLOVERRIDES='mscoree,mshtml=;dinput=n'
export WINEARCH=win32
mkdir -p "$WINEPREFIX"
(
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w || true
    fi
) 9>"$WINEPREFIX/.lock"
exec wine "$prog" "$@"
