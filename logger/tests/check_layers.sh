#!/bin/sh
# Checks that the logger's folders stay in layers: a file includes headers of
# its own folder and of those below it, never of one above; of the shipped
# module's folders only the host interface (hostif/host_interface.h), and of
# sdk/ only the record header, never a host's own headers.
#   check_layers.sh LOGGER_DIR
# Bottom to top: record, excite, session, face, module.
set -eu
root="$1"
layers="record excite session face module"
[ -d "$root/record" ] || { echo "check_layers.sh: $root holds no record/ folder" >&2; exit 2; }

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
    for file in $(cd "$root" && find "$folder" -name '*.h' -o -name '*.cpp' | sort); do
        for included in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$root/$file"); do
            case "$included" in
                sdk/gauge_sdk.h | hostif/host_interface.h) continue ;;
                logger/*/*) ;;
                *)
                    echo "FAIL: $file includes $included, which is neither the logger's nor the record header or host interface" >&2
                    failures=$((failures + 1))
                    continue ;;
            esac
            target=${included#logger/}
            target=${target%%/*}
            theirs=$(rank "$target")
            if [ "$theirs" -lt 0 ] || [ "$theirs" -gt "$own" ]; then
                echo "FAIL: $file includes $included, from a layer above its own" >&2
                failures=$((failures + 1))
            fi
        done
    done
done
[ "$failures" -eq 0 ] || exit 1
echo "layers: no folder of the logger includes one above it"
