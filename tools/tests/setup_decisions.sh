#!/bin/sh
# The set-up's decisions against stand-ins for apt-get, dpkg, dpkg-query and
# id (no network, nothing installed): install-deps.sh goes on past a package
# index that fails to download and names what it could not install, and
# windows-tests.sh says whether the Windows tests can run under Wine.
#   setup_decisions.sh TOOLS_DIR
set -u
tools=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
expect_line() { # CASE FILE TEXT: FILE holds a line with TEXT
    grep -qF -- "$3" "$2" || { fail "$1: no line with '$3' in:"; sed 's/^/    /' "$2" >&2; }
}

# A fresh stand-in machine: STATE holds what is installed, what the stand-in
# apt-get cannot install, and the calls it saw.
machine() {
    state="$scratch/$1"
    mkdir -p "$state/bin"
    : >"$state/installed"
    : >"$state/broken"
    : >"$state/calls"
    echo amd64 >"$state/arch"
    : >"$state/foreign"
    cat >"$state/bin/dpkg-query" <<STUB
#!/bin/sh
for last; do :; done
if grep -qx -- "\$last" "$state/installed"; then printf 'install ok installed'; exit 0; fi
exit 1
STUB
    cat >"$state/bin/dpkg" <<STUB
#!/bin/sh
case "\$1" in
--print-architecture) cat "$state/arch" ;;
--print-foreign-architectures) cat "$state/foreign" ;;
--add-architecture) echo "\$2" >>"$state/foreign" ;;
esac
STUB
    cat >"$state/bin/apt-get" <<STUB
#!/bin/sh
echo "apt-get \$*" >>"$state/calls"
if [ "\$1" = update ]; then
    [ -f "$state/update-fails" ] || exit 0
    cat "$state/update-fails"
    exit 100
fi
packages=""
for word; do case "\$word" in -*|install) ;; *) packages="\$packages \$word" ;; esac; done
for package in \$packages; do
    if grep -qx -- "\$package" "$state/broken"; then
        echo "E: Error, pkgProblemResolver::Resolve generated breaks, this may be caused by held packages."
        exit 100
    fi
done
for package in \$packages; do echo "\$package" >>"$state/installed"; done
STUB
    printf '#!/bin/sh\necho %s\n' "${2:-0}" >"$state/bin/id"
    chmod +x "$state/bin/"*
}
run_in() { # STATE COMMAND...: runs with the stand-ins first on PATH
    dir=$1
    shift
    PATH="$dir/bin:$PATH" "$@" >"$dir/out" 2>&1
    echo $? >"$dir/status"
}
status_of() { cat "$1/status"; }
all_packages() { PATH="$1/bin:$PATH" "$tools/install-deps.sh" --missing all; }

# Nothing missing: no package index is fetched and nothing is installed.
machine complete
all_packages "$state" >"$state/installed"
run_in "$state" "$tools/install-deps.sh" all
[ "$(status_of "$state")" = 0 ] || fail "complete machine: exit $(status_of "$state")"
[ ! -s "$state/calls" ] || fail "complete machine: apt-get was called: $(cat "$state/calls")"

# The i386 index of one suite fails mid-sync and the 32-bit Wine half does
# not resolve: everything else installs, the run succeeds, and one line each
# names the failed index and the package with its reason.
machine mirror_sync
cat >"$state/update-fails" <<'APT'
E: Failed to fetch http://deb.example/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]
E: Some index files failed to download. They have been ignored, or old ones used instead.
APT
echo "wine32:i386" >"$state/broken"
run_in "$state" "$tools/install-deps.sh" all
[ "$(status_of "$state")" = 0 ] || fail "mirror sync: exit $(status_of "$state"), not 0"
expect_line "mirror sync" "$state/out" \
    "the package index http://deb.example/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz failed to download (File has unexpected size"
expect_line "mirror sync" "$state/out" \
    "could not install wine32:i386: apt: Error, pkgProblemResolver::Resolve generated breaks, this may be caused by held packages.; the i386 index http://deb.example/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz did not download"
[ "$(grep -c 'could not install' "$state/out")" = 1 ] || fail "mirror sync: more than wine32:i386 reported missing"
[ "$(all_packages "$state")" = "wine32:i386" ] || fail "mirror sync: left missing: $(all_packages "$state")"
grep -qx i386 "$state/foreign" || fail "mirror sync: the i386 architecture was not added"
run_in "$state" "$tools/windows-tests.sh"
expect_line "mirror sync, Windows tests" "$state/out" "build-only wine32:i386 is not installed"

# A native package that cannot be installed stops the set-up with status 1,
# after the rest of the native set is in.
machine native_broken
echo libsdl2-dev >"$state/broken"
run_in "$state" "$tools/install-deps.sh" native
[ "$(status_of "$state")" = 1 ] || fail "native package broken: exit $(status_of "$state"), not 1"
expect_line "native package broken" "$state/out" "could not install libsdl2-dev: apt: Error"
[ "$(PATH="$state/bin:$PATH" "$tools/install-deps.sh" --missing native)" = libsdl2-dev ] ||
    fail "native package broken: the other native packages were not installed"

# Without root nothing is called and the line lists what is missing.
machine not_root 1000
run_in "$state" "$tools/install-deps.sh" native
[ "$(status_of "$state")" = 1 ] || fail "not root: exit $(status_of "$state"), not 1"
expect_line "not root" "$state/out" "install-deps.sh: run as root (it calls apt-get) to install: cmake"
[ ! -s "$state/calls" ] || fail "not root: apt-get was called"

# Which Windows tests can run: no cross compiler, a kernel without 32-bit
# support, and a Wine that starts.
machine windows
all_packages "$state" | grep -v mingw >"$state/installed"
run_in "$state" "$tools/windows-tests.sh"
expect_line "no cross compiler" "$state/out" "none g++-mingw-w64-i686 is not installed"
all_packages "$state" >>"$state/installed"
printf '#!/bin/sh\necho "wine: could not exec the wine loader: Exec format error" >&2\nexit 1\n' >"$state/wine"
chmod +x "$state/wine"
WINE_LOADER="$state/wine" run_in "$state" "$tools/windows-tests.sh"
expect_line "no 32-bit kernel" "$state/out" "build-only this kernel cannot run 32-bit programs (Exec format error)"
printf '#!/bin/sh\necho wine-8.0\n' >"$state/wine"
WINE_LOADER="$state/wine" run_in "$state" "$tools/windows-tests.sh"
[ "$(cat "$state/out")" = wine ] || fail "Wine that starts: said '$(cat "$state/out")'"

[ "$failures" -eq 0 ] || exit 1
echo "set-up decisions: all as expected"
