#!/bin/sh
# Installs the Debian packages the project builds and tests with, only those
# not installed yet: when nothing is missing it changes nothing and fetches
# no package index.
#   install-deps.sh [native|all]            install what is missing (as root)
#   install-deps.sh --missing [native|all]  print what is missing, one a line
# `native` is what the native build and the demonstration need; `all` adds
# the cross build, Wine and the hardening tools.
set -eu

NATIVE="cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev googletest
    libcairo2-dev fonts-liberation fontconfig libtomlplusplus-dev libcli11-dev
    libeigen3-dev libnlopt-cxx-dev libsdl2-dev
    xvfb xauth xdotool x11-apps imagemagick"
CROSS_AND_CHECKS="libbenchmark-dev g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386
    gnuplot-nox clang libclang-rt-14-dev valgrind"

list_only=no
if [ "${1:-}" = --missing ]; then
    list_only=yes
    shift
fi
case "${1:-all}" in
    native) packages="$NATIVE" ;;
    all) packages="$NATIVE $CROSS_AND_CHECKS" ;;
    *) echo "install-deps.sh: unknown set '$1' (native or all)" >&2; exit 2 ;;
esac

missing=""
for package in $packages; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing="$missing $package"
done

if [ "$list_only" = yes ]; then
    for package in $missing; do echo "$package"; done
    exit 0
fi
[ -n "$missing" ] || exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps.sh: run as root (it calls apt-get) to install:$missing" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
case "$missing" in
    *:i386*)
        if ! dpkg --print-foreign-architectures | grep -qx i386; then
            dpkg --add-architecture i386
        fi ;;
esac
echo "install-deps.sh: installing$missing"
apt-get update -qq
# shellcheck disable=SC2086  # one word per package
apt-get install -y -qq --no-install-recommends $missing >/dev/null
