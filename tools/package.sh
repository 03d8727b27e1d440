#!/bin/sh
# Builds the release package from the Windows tree: build/win32/package/
# hover-VERSION.zip and hover-VERSION.zip.sha256. Installs what is missing
# (as root) and builds the shipped module first; the package step itself
# copies hover.gau as built and tested, never rebuilding or re-stripping it.
#   tools/package.sh              build the module if needed, then package
#   tools/package.sh --no-build   package the module already built
set -eu
cd "$(dirname "$0")/.."
build=yes
case "${1:-}" in
    "") ;;
    --no-build) build=no ;;
    *) echo "package.sh: unknown option '$1' (--no-build or none)" >&2; exit 2 ;;
esac
if [ "$build" = yes ]; then
    if [ -n "$(./tools/install-deps.sh --missing all)" ] && [ "$(id -u)" -eq 0 ]; then
        ./tools/install-deps.sh all || true
    fi
    plan=$(./tools/windows-tests.sh)
    case "$plan" in
        none*) echo "package.sh: ${plan#* }: the Windows module cannot be built" >&2; exit 2 ;;
    esac
    cmake --preset win32 >/dev/null
    cmake --build --preset win32 --target hover hoverlog
fi
python3 tools/package/package.py zip --source . --gau build/win32/gauge/module/hover.gau \
    --log-gau build/win32/logger/hoverlog.gau --out build/win32/package
