#!/bin/sh
# Installs what is missing, then builds and runs every test on both targets:
# the native build, and the shipped 32-bit module with its tests under Wine.
# What cannot run on this machine (the tests under Wine, the cross build) is
# said loudly and the rest still runs; it ends with one line per target: what
# ran, what passed, and what did not run and why.
set -eu
cd "$(dirname "$0")/.."

work=$(mktemp -d)
stage="installing packages"
: >"$work/summary"
finish() {
    status=$?
    echo
    cat "$work/summary"
    if [ "$status" -ne 0 ]; then
        echo "test-all: FAILED while $stage (exit status $status)"
    fi
    rm -rf "$work"
    exit "$status"
}
trap finish EXIT
summary() { echo "test-all: $*" >>"$work/summary"; }

if [ -n "$(./tools/install-deps.sh --missing all)" ]; then
    if [ "$(id -u)" -eq 0 ]; then
        ./tools/install-deps.sh all
    elif [ -n "$(./tools/install-deps.sh --missing native)" ]; then
        echo "test-all: missing packages: $(./tools/install-deps.sh --missing native | tr '\n' ' ')" \
            "; run as root to install them (tools/install-deps.sh)" >&2
        exit 2
    fi
fi

# run LOG COMMAND...: runs the command with its output shown and kept in LOG,
# and keeps the command's own exit status.
run() {
    log=$1
    shift
    echo 1 >"$work/status"
    { status=0; "$@" 2>&1 || status=$?; echo "$status" >"$work/status"; } | tee "$log"
    return "$(cat "$work/status")"
}
# passed LOG: ctest's count, "N of M tests passed".
passed() {
    sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests* failed out of \([0-9]*\)$/\1 \2/p' "$1" |
        awk '{ ok += $2 - $1; all += $2 } END { printf "%d of %d tests passed", ok, all }'
}

stage="building and testing the native tree"
run "$work/dev.log" cmake --workflow --preset dev
summary "native (dev): built; $(passed "$work/dev.log")"

# The Windows build compares its flights with the native host of build/dev.
# Its test preset runs a failed test once more: a Wine program can die
# before it starts when it connects just as the previous test's wineserver
# is exiting ("recvmsg: Connection reset by peer"); a real failure fails
# twice.
stage="building and testing the Windows tree"
plan=$(./tools/windows-tests.sh)
why=${plan#* }
case "$plan" in
    wine)
        run "$work/win32.log" cmake --workflow --preset win32
        summary "win32: built; $(passed "$work/win32.log"), under Wine" ;;
    build-only*)
        echo "test-all: $why: the Windows build is built and checked, its tests under Wine are NOT run" >&2
        cmake --preset win32
        cmake --build --preset win32
        run "$work/win32.log" ctest --preset win32 -R '^module_'
        summary "win32: built; $(passed "$work/win32.log") (the checks that need no Wine);" \
            "the tests under Wine were NOT run: $why" ;;
    none*)
        echo "test-all: $why: the Windows tree is NOT built" >&2
        summary "win32: NOT built and NOT tested: $why" ;;
esac
# The release package from the module just tested (its module_package tests
# above unpacked and checked it).
case "$plan" in
    none*) summary "package: NOT built: $why" ;;
    *)
        stage="building the release package"
        zip=$(./tools/package.sh --no-build | head -n 1)
        summary "package: $zip ($(wc -c <"$zip") bytes), sum $(cut -c1-16 "$zip.sha256")..." ;;
esac

# Hardening: every native test and scenario again under AddressSanitizer and
# UndefinedBehaviorSanitizer, a short pass of every fuzz target (FUZZ_SECONDS
# each, 15 by default; tools/fuzz.sh alone runs 60), and valgrind's memcheck
# over the native unit tests and a short soak.
stage="testing under the sanitizers"
run "$work/asan.log" cmake --workflow --preset asan
summary "native under ASan and UBSan (asan): built; $(passed "$work/asan.log")"
stage="fuzzing"
./tools/fuzz.sh "${FUZZ_SECONDS:-15}"
summary "fuzz: every target ran ${FUZZ_SECONDS:-15} s with no finding"
stage="running the unit tests and the soak under valgrind"
valgrind --tool=memcheck --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
    -q build/dev/gauge/tests/hover_tests --gtest_brief=1
valgrind --tool=memcheck --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
    -q build/dev/tools/soak/hover_soak --frames 50000
summary "valgrind memcheck: the unit tests and a 50,000-frame soak, no error and no leak"
stage="done"
