#!/bin/sh
# Says how far the Windows target can be tested on this machine, in one line:
#   wine                        the cross build, and its tests under Wine
#   build-only REASON           the cross build and its checks that need no
#                               Wine; the tests under Wine cannot run
#   none REASON                 no cross compiler: the Windows tree cannot be built
# Wine runs the tests only when both its halves are installed and it starts:
# the 32-bit packages may be missing (a package index that failed to
# download, or 32-bit libraries older than their installed 64-bit twins),
# and some kernels are built without 32-bit support ("Exec format error").
# WINE_LOADER names the Wine program to try (the test's stand-in).
set -eu
wine=${WINE_LOADER:-/usr/lib/wine/wine}

installed() {
    [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true)" = "install ok installed" ]
}

for package in g++-mingw-w64-i686 binutils-mingw-w64-i686; do
    if ! installed "$package"; then
        echo "none $package is not installed"
        exit 0
    fi
done
for package in wine wine32:i386; do
    if ! installed "$package"; then
        echo "build-only $package is not installed (tools/install-deps.sh all says why)"
        exit 0
    fi
done
if ! output=$("$wine" --version 2>&1); then
    case "$output" in
        *"Exec format error"*) why="this kernel cannot run 32-bit programs (Exec format error)" ;;
        *) why="Wine does not start: $(echo "$output" | head -n 1)" ;;
    esac
    echo "build-only $why"
    exit 0
fi
echo wine
