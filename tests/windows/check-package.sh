#!/bin/bash
# check-package.sh <dist>: the archives scripts/package.sh made hold what a
# host's user needs, each with a module of its own width that still exports
# CreatePlugin.
set -u
dist=$1
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
status=0
fail() { echo "FAIL: $*"; status=1; }

objdump=objdump
command -v x86_64-w64-mingw32-objdump >/dev/null 2>&1 && objdump=x86_64-w64-mingw32-objdump

for pair in "x86 pei-i386" "x64 pei-x86-64"; do
    name=ssao-${pair% *}
    format=${pair#* }
    archive=$dist/$name.zip
    if [ ! -f "$archive" ]; then
        fail "$archive is missing"
        continue
    fi
    expected=$( {
        echo "$name/INSTALL.txt"
        echo "$name/ssao.dll"
        [ "$name" = ssao-x86 ] && echo "$name/libgcc_s_dw2-1.dll"
        [ -f "$repo/LICENSE" ] && echo "$name/LICENSE.txt"
        (cd "$repo/data" && find . -type f | sed "s|^\./|$name/|")
    } | LC_ALL=C sort)
    actual=$(unzip -Z1 "$archive" | grep -v '/$' | LC_ALL=C sort)
    [ "$actual" = "$expected" ] || fail "$archive holds"$'\n'"$actual"$'\n'"instead of"$'\n'"$expected"

    (cd "$repo/data" && find . -type f) | while read -r file; do
        unzip -p "$archive" "$name/${file#./}" | cmp -s - "$repo/data/$file" ||
            { echo "FAIL: $name/${file#./} differs from data/${file#./}"; exit 1; }
    done || status=1

    unzip -p "$archive" "$name/INSTALL.txt" | grep -q 'Plugins\\SSAO\\Settings.fxh' ||
        fail "$name/INSTALL.txt does not point to Plugins\\SSAO\\Settings.fxh"

    dll=$(mktemp)
    unzip -p "$archive" "$name/ssao.dll" >"$dll"
    "$objdump" -f "$dll" | grep -q "file format $format" || fail "$name/ssao.dll is not $format"
    "$repo/scripts/windows/check-pe.sh" "$dll" --exports CreatePlugin || fail "$name/ssao.dll lost its export"
    rm -f "$dll"
    [ $status -eq 0 ] && echo "ok: $archive"
done
exit $status
