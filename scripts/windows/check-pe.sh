#!/bin/bash
# Checks a Windows PE file built by mingw-w64: its export table and the DLLs it
# imports.
#
#   check-pe.sh <file> [--exports "A B"] [--allow "x.dll y.dll"] [--require "x.dll"]
#
# --exports  the export table must list exactly these names (none when empty)
# --allow    every imported DLL must be one of these (case-insensitive)
# --require  each of these DLLs must be imported
#
# Exit 0 when every check holds, 1 with a message for each failure otherwise.
set -u

usage() { echo "usage: $0 <file> [--exports names] [--allow dlls] [--require dlls]" >&2; exit 2; }

[ $# -ge 1 ] || usage
file=$1; shift
check_exports=0; exports=""; check_allow=0; allow=""; require=""
while [ $# -gt 0 ]; do
    case $1 in
        --exports) [ $# -ge 2 ] || usage; check_exports=1; exports=$2; shift 2 ;;
        --allow) [ $# -ge 2 ] || usage; check_allow=1; allow=$2; shift 2 ;;
        --require) [ $# -ge 2 ] || usage; require=$2; shift 2 ;;
        *) usage ;;
    esac
done

if [ ! -f "$file" ]; then
    echo "check-pe: $file does not exist" >&2
    exit 1
fi

# Any objdump reads PE headers of both widths; prefer the mingw one.
objdump=""
for candidate in x86_64-w64-mingw32-objdump i686-w64-mingw32-objdump objdump; do
    if command -v "$candidate" >/dev/null 2>&1; then objdump=$candidate; break; fi
done
if [ -z "$objdump" ]; then
    echo "check-pe: no objdump found" >&2
    exit 1
fi

if ! dump=$("$objdump" -p "$file" 2>&1); then
    echo "check-pe: $objdump cannot read $file: $dump" >&2
    exit 1
fi
if ! grep -q '^PE File Base Relocations\|^Characteristics\|pei-\|Magic' <<<"$dump"; then
    echo "check-pe: $file is not a PE file" >&2
    exit 1
fi

lower() { tr '[:upper:]' '[:lower:]'; }

# Names of the "[Ordinal/Name Pointer] Table" section, one a line.
actual_exports=$(awk '
    /^\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
    inside && /^[ \t]*$/ { inside = 0 }
    inside { sub(/^[ \t]*\[[ 0-9]*\][ \t]*/, ""); print }
' <<<"$dump" | sort)
actual_imports=$(awk '/DLL Name:/ { print $3 }' <<<"$dump" | lower | sort -u)

status=0
if [ $check_exports = 1 ]; then
    expected_exports=$(tr ' ' '\n' <<<"$exports" | sed '/^$/d' | sort)
    if [ "$actual_exports" != "$expected_exports" ]; then
        echo "check-pe: $file exports [$(echo $actual_exports)], expected exactly [$(echo $expected_exports)]" >&2
        status=1
    fi
fi
if [ $check_allow = 1 ]; then
    allowed=$(tr ' ' '\n' <<<"$allow" | sed '/^$/d' | lower | sort -u)
    for dll in $actual_imports; do
        if ! grep -qxF "$dll" <<<"$allowed"; then
            echo "check-pe: $file imports the unexpected DLL $dll (allowed: $(echo $allowed))" >&2
            status=1
        fi
    done
fi
for dll in $(tr ' ' '\n' <<<"$require" | lower); do
    if ! grep -qxF "$dll" <<<"$actual_imports"; then
        echo "check-pe: $file does not import $dll (imports: $(echo $actual_imports))" >&2
        status=1
    fi
done
if [ $status = 0 ]; then
    echo "check-pe: $file: exports [$(echo $actual_exports)], imports [$(echo $actual_imports)]"
fi
exit $status
