#!/bin/sh
# Installs the Debian packages the project builds and tests with, only those
# not installed yet: when nothing is missing it changes nothing and fetches
# no package index.
#   install-deps.sh [native|all]            install what is missing (as root)
#   install-deps.sh --missing [native|all]  print what is missing, one a line
# `native` is what the native build and the demonstration need; `all` adds
# the cross build, Wine and the hardening tools.
#
# A package mirror part-way through an update can fail one architecture's or
# one suite's index while the others download; the packages that index
# serves may then not install, or install only at versions that do not match
# the 64-bit libraries already there (Wine's 32-bit half). So the install
# goes on past a failed index, installs each group and then each package of
# a group that failed on its own, and names every package it could not
# install with the reason, one line each. It exits 0 when the native set is
# installed (the callers ask --missing again to learn what else is there),
# 1 when a native package could not be installed.
set -eu

NATIVE="cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev googletest
    libcairo2-dev libpng-dev fonts-liberation fontconfig libtomlplusplus-dev libcli11-dev
    libeigen3-dev libnlopt-cxx-dev libsdl2-dev
    xvfb xauth xdotool x11-apps imagemagick"
CROSS_AND_CHECKS="libbenchmark-dev g++-mingw-w64-i686 binutils-mingw-w64-i686
    gnuplot-nox clang libclang-rt-14-dev valgrind python3"
WINE="wine wine32:i386"

list_only=no
if [ "${1:-}" = --missing ]; then
    list_only=yes
    shift
fi
case "${1:-all}" in
    native) groups="NATIVE" ;;
    all) groups="NATIVE CROSS_AND_CHECKS WINE" ;;
    *) echo "install-deps.sh: unknown set '$1' (native or all)" >&2; exit 2 ;;
esac

# missing_of PACKAGES: those of PACKAGES dpkg does not have installed.
missing_of() {
    for package in $1; do
        status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
        [ "$status" = "install ok installed" ] || printf ' %s' "$package"
    done
}
group_packages() {
    eval "echo \$$1"
}

missing=""
for group in $groups; do
    missing="$missing$(missing_of "$(group_packages "$group")")"
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

log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Indexes that failed to download: "ARCH (URL: apt's reason)", one a line.
failed_indexes=""
if ! apt-get update -qq >"$log" 2>&1; then
    failed_indexes=$(sed -n 's/^E: Failed to fetch \([^ ]*\)[[:space:]]*\(.*\)$/\1 \2/p' "$log")
    if [ -n "$failed_indexes" ]; then
        echo "$failed_indexes" | while read -r url reason; do
            echo "install-deps.sh: the package index $url failed to download ($reason); going on with the others" >&2
        done
    else
        echo "install-deps.sh: apt-get update failed ($(grep '^E:' "$log" | tail -n 1)); going on with the indexes there are" >&2
    fi
fi

# why_not PACKAGE: apt's own reason, in one line, and the failed index of the
# package's architecture when there was one.
why_not() {
    reason=$(grep -m 1 'Depends:' "$log" | sed 's/^[[:space:]]*//' || true)
    [ -n "$reason" ] || reason=$(grep '^E:' "$log" | tail -n 1 | sed 's/^E: /apt: /' || true)
    [ -n "$reason" ] || reason="apt-get install failed"
    case "$1" in
        *:*) arch=${1#*:} ;;
        *) arch=$(dpkg --print-architecture 2>/dev/null || echo amd64) ;;
    esac
    index=$(echo "$failed_indexes" | grep -m 1 "binary-$arch/" | cut -d' ' -f1 || true)
    if [ -n "$index" ]; then
        reason="$reason; the $arch index $index did not download"
    fi
    echo "$reason"
}

install_quietly() {
    # shellcheck disable=SC2086  # one word per package
    apt-get install -y -qq --no-install-recommends $1 >"$log" 2>&1
}

native_failed=no
for group in $groups; do
    wanted=$(missing_of "$(group_packages "$group")")
    [ -n "$wanted" ] || continue
    install_quietly "$wanted" && continue
    for package in $wanted; do
        if ! install_quietly "$package"; then
            echo "install-deps.sh: could not install $package: $(why_not "$package")" >&2
            [ "$group" != NATIVE ] || native_failed=yes
        fi
    done
done
[ "$native_failed" = no ] || exit 1
