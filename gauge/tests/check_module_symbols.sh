#!/bin/sh
# Checks the shipped module's dynamic symbols: exactly Linkage and
# ImportTable exported and, for hover.gau, every imported function one that
# Windows XP's system DLLs export (the list in windows_xp_imports.txt), and
# no debug sections left in it.
#   check_module_symbols.sh native MODULE
#   check_module_symbols.sh win32 MODULE OBJDUMP ALLOWED_IMPORTS
set -eu
target="$1"
module="$2"
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ "$target" = win32 ]; then
    objdump="$3"
    allowed="$4"
    dump=$("$objdump" -p "$module")
    echo "$dump" | grep -q "file format pei-i386" || fail "$module is not a PE32 i386 image"
    # Shipped stripped, with a link to the separate debug information.
    sections=$("$objdump" -h "$module")
    if echo "$sections" | grep -q " \.debug_"; then fail "$module carries debug sections"; fi
    echo "$sections" | grep -q " \.gnu_debuglink" || fail "$module has no link to its debug information"
    exports=$(echo "$dump" | awk '/Ordinal\/Name Pointer\] Table/{t=1;next} t && /^[ \t]*\[/{print $NF;next} {t=0}' | sort | tr '\n' ' ')
    [ "$exports" = "ImportTable Linkage " ] || fail "exports are '$exports', expected 'ImportTable Linkage '"
    # One "DLL function" line per import; an import by ordinal has no name
    # and is listed as "<ordinal>", which no allowed entry matches.
    imports=$(echo "$dump" | awk '
        /^The Import Tables/ { t = 1; next }
        /^The Export Tables/ || /^PE File Base Relocations/ { t = 0 }
        t && /DLL Name:/ { dll = toupper($3); next }
        t && dll != "" && /^\t[0-9a-f]+\t/ {
            if (NF >= 3) print dll, $3; else print dll, "<ordinal>"
            next
        }
        t && /^[ \t]*$/ { dll = "" }')
    [ -n "$imports" ] || fail "found no import in $module: the import table was not read"
    known=$(awk '!/^#/ && NF == 2 { print toupper($1), $2 }' "$allowed")
    bad=$(echo "$imports" | while read -r dll name; do
        echo "$known" | grep -qxF "$dll $name" || echo "  $dll $name"
    done)
    [ -z "$bad" ] || fail "$module imports functions Windows XP does not export (or not on the list $allowed):
$bad"
    echo "imports:"
    echo "$imports" | sed 's/^/  /'
else
    exports=$(nm -D --defined-only "$module" | awk '{print $3}' | sort | tr '\n' ' ')
    [ "$exports" = "ImportTable Linkage " ] || fail "exports are '$exports', expected 'ImportTable Linkage '"
fi
echo "exports: $exports"
