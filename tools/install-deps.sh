#!/bin/sh
# Installs the Debian packages the project builds and tests with.
# Safe to run again: apt-get skips what is already there.
set -eu
if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps.sh: run as root (it calls apt-get)" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
    cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev googletest libbenchmark-dev \
    g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386 \
    libcairo2-dev fonts-liberation fontconfig libtomlplusplus-dev libcli11-dev \
    gnuplot-nox clang libclang-rt-14-dev valgrind \
    libsdl2-dev xvfb xauth xdotool x11-apps imagemagick >/dev/null
