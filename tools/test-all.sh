#!/bin/sh
# Installs what is missing, then builds and runs every test on both targets:
# the native build, and the shipped 32-bit module with its tests under Wine.
set -eu
cd "$(dirname "$0")/.."
missing=$(./tools/install-deps.sh --missing all | tr '\n' ' ')
if [ -n "$missing" ]; then
    if [ "$(id -u)" -eq 0 ]; then
        ./tools/install-deps.sh all
    else
        echo "test-all: missing packages: $missing; run as root to install them (tools/install-deps.sh)" >&2
        exit 2
    fi
fi
cmake --workflow --preset dev
# The Windows build compares its flights with the native host of build/dev.
# Wine needs a kernel that runs 32-bit programs; some virtual machines' kernels
# are built without that ("Exec format error"), and Wine under qemu's user
# emulation does not finish starting. There the Windows build is still built
# and its checks that need no Wine (exports, imports, the stripped file) run,
# and the tests under Wine are reported as not run, loudly.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    cmake --workflow --preset win32
else
    echo "test-all: this kernel cannot run 32-bit programs, so Wine cannot start here:" \
        "the Windows build is built and checked, its tests under Wine are NOT run" >&2
    cmake --preset win32
    cmake --build --preset win32
    ctest --preset win32 -R '^module_'
fi
# Hardening: every native test and scenario again under AddressSanitizer and
# UndefinedBehaviorSanitizer, a short pass of every fuzz target (FUZZ_SECONDS
# each, 15 by default; tools/fuzz.sh alone runs 60), and valgrind's memcheck
# over the native unit tests and a short soak.
cmake --workflow --preset asan
./tools/fuzz.sh "${FUZZ_SECONDS:-15}"
valgrind --tool=memcheck --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
    -q build/dev/tests/hover_tests --gtest_brief=1
valgrind --tool=memcheck --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
    -q build/dev/tools/soak/hover_soak --frames 50000
