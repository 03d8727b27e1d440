#!/bin/sh
# Says whether two builds of the module hold the same code and data: every
# section compared byte for byte but those that describe the debug
# information (the debug link's checksum, the build id, the debug sections
# themselves), which change with a source file's path or line. The link
# timestamp is left out too: the PE header's (with its checksum) and the
# export directory's copy of it (bytes 4 to 7 of .edata).
#   tools/same-module-bytes.sh OLD.gau NEW.gau           the shipped module
#   tools/same-module-bytes.sh OLD.so NEW.so objcopy     the native one
set -eu
old=$1
new=$2
objcopy=${3:-i686-w64-mingw32-objcopy}
objdump=${objcopy%objcopy}objdump
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sections() { "$objdump" -h "$1" | awk '$1 ~ /^[0-9]+$/ { print $2 }' | grep -Ev '^(\.gnu_debuglink|\.note\.gnu\.build-id|\.debug.*)$'; }
if [ "$(sections "$old")" != "$(sections "$new")" ]; then
    echo "different section lists: $(sections "$old" | tr '\n' ' ') / $(sections "$new" | tr '\n' ' ')" >&2
    exit 1
fi
status=0
for section in $(sections "$old"); do
    "$objcopy" -O binary --only-section="$section" "$old" "$work/old"
    "$objcopy" -O binary --only-section="$section" "$new" "$work/new"
    if [ "$section" = .edata ]; then
        for file in "$work/old" "$work/new"; do
            printf '\000\000\000\000' | dd of="$file" bs=1 seek=4 count=4 conv=notrunc status=none
        done
    fi
    if cmp -s "$work/old" "$work/new"; then
        echo "same     $section ($(wc -c <"$work/old") bytes)"
    else
        echo "DIFFERENT $section"
        status=1
    fi
done
exit "$status"
