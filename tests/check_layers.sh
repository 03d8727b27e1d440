#!/bin/sh
# Checks that the module's folders stay in layers: a file may include headers
# of its own folder and of the folders below it, never of one above.
# Bottom to top:
#   sdk, platform  the host's record header and the platform stand-ins
#   hostif         ImportTable, variable readings, axis events
#   core           the one module-wide state and the helpers every layer shares
#   control        the controller, its gains and the parameter string
#   input          the joystick and the click areas
#   display        the element tree and its value callbacks
#   module         Linkage, the gauge header and the service dispatch
# The one reference upwards is the element records' pointer back at the
# gauge header, which the host's records require.
set -eu
root="$1"
layers="sdk platform hostif core control input display module"
allowed="display/elements.cpp:module/gauge.h"

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
            theirs=$(rank "$target")
            [ "$theirs" -gt "$own" ] || continue
            case " $allowed " in
            *" $file:$included "*) continue ;;
            esac
            echo "FAIL: $file includes $included, from a layer above its own" >&2
            failures=$((failures + 1))
        done
    done
done
[ "$failures" -eq 0 ] || exit 1
echo "layers: no folder includes one above it"
