#!/bin/sh
# Checks the shipped module's dynamic symbols: exactly Linkage and
# ImportTable exported and, for hover.gau, only system DLLs imported.
set -eu
target="$1"
module="$2"
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ "$target" = win32 ]; then
    objdump="$3"
    dump=$("$objdump" -p "$module")
    echo "$dump" | grep -q "file format pei-i386" || fail "$module is not a PE32 i386 image"
    exports=$(echo "$dump" | awk '/Ordinal\/Name Pointer\] Table/{t=1;next} t && /^[ \t]*\[/{print $NF;next} {t=0}' | sort | tr '\n' ' ')
    [ "$exports" = "ImportTable Linkage " ] || fail "exports are '$exports', expected 'ImportTable Linkage '"
    allowed="KERNEL32.dll USER32.dll DINPUT.dll msvcrt.dll ADVAPI32.dll GDI32.dll OLE32.dll"
    for dll in $(echo "$dump" | awk '/DLL Name:/{print $3}'); do
        ok=no
        for a in $allowed; do
            if [ "$(echo "$dll" | tr a-z A-Z)" = "$(echo "$a" | tr a-z A-Z)" ]; then ok=yes; fi
        done
        [ "$ok" = yes ] || fail "$module imports $dll, which a Windows machine may lack"
        echo "imports $dll"
    done
else
    exports=$(nm -D --defined-only "$module" | awk '{print $3}' | sort | tr '\n' ' ')
    [ "$exports" = "ImportTable Linkage " ] || fail "exports are '$exports', expected 'ImportTable Linkage '"
fi
echo "exports: $exports"
