#!/bin/sh
# Checks that the module's folders stay in layers: a file may include headers
# of its own folder and of the folders below it, never of one above. Of sdk/
# the module includes only the record header: the other headers there are
# the hosts' own (the element walk, the function table) and must not become
# part of hover.gau.
#   check_layers.sh GAUGE_DIR     the folder holding the module's layers
# Bottom to top:
#   sdk, platform  the host's record header and the platform stand-ins (at
#                  the top of the tree, shared with the simulated host)
#   hostif         ImportTable, variable readings, axis events
#   state          the one module-wide state and the helpers every layer shares
#   control        the controller, its gains and the parameter string
#   input          the joystick and the click areas
#   display        the element tree and its value callbacks
#   module         Linkage, the gauge header and the service dispatch
set -eu
root="$1"
layers="sdk platform hostif state control input display module"
found=0
for layer in $layers; do [ ! -d "$root/$layer" ] || found=$((found + 1)); done
[ "$found" -gt 0 ] || { echo "check_layers.sh: $root holds none of the layers' folders" >&2; exit 2; }

rank() {
    i=0
    for layer in $layers; do
        if [ "$layer" = "$1" ]; then echo $i; return; fi
        i=$((i + 1))
    done
    echo -1
}

failures=0
for folder in $layers; do
    [ -d "$root/$folder" ] || continue
    own=$(rank "$folder")
    for file in $(cd "$root" && find "$folder" -name '*.h' -o -name '*.cpp' -o -name '*.rc' | sort); do
        for included in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$root/$file"); do
            target=${included%%/*}
            [ "$target" != "$included" ] || continue
            if [ "$target" = sdk ] && [ "$included" != sdk/gauge_sdk.h ]; then
                echo "FAIL: $file includes $included, a host's header, not the record header" >&2
                failures=$((failures + 1))
                continue
            fi
            theirs=$(rank "$target")
            [ "$theirs" -gt "$own" ] || continue
            echo "FAIL: $file includes $included, from a layer above its own" >&2
            failures=$((failures + 1))
        done
    done
done
[ "$failures" -eq 0 ] || exit 1
echo "layers: no folder includes one above it"
