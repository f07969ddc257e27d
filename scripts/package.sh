#!/bin/bash
# Builds the module for 32- and 64-bit Windows with mingw-w64 and packs each
# build into an archive for the users of a host:
#
#   <out>/ssao-x86.zip and <out>/ssao-x64.zip, each holding one folder with
#     ssao.dll (and, in ssao-x86, libgcc_s_dw2-1.dll, GCC's runtime it shares
#               with its host)
#     Plugins/SSAO/   the effect files and the noise image, as a host's data
#                     folder holds them (from data/)
#     INSTALL.txt     where each file goes
#     LICENSE.txt     when the repository has a LICENSE file
#
#   package.sh [--out DIR] [--builds DIR]
#
# --out     where the archives go (default: dist/ in the repository)
# --builds  the build trees, DIR/x86_64 and DIR/i686 (default: build/windows);
#           each is configured, built or brought up to date, and checked by
#           scripts/windows/build-dll.sh first.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)

out=$repo/dist
builds=$repo/build/windows
while [ $# -gt 0 ]; do
    case $1 in
        --out) [ $# -ge 2 ] || { echo "--out needs a folder" >&2; exit 2; }; out=$2; shift 2 ;;
        --builds) [ $# -ge 2 ] || { echo "--builds needs a folder" >&2; exit 2; }; builds=$2; shift 2 ;;
        *) echo "usage: $0 [--out DIR] [--builds DIR]" >&2; exit 2 ;;
    esac
done

"$here/install-deps.sh" package
mkdir -p "$out"
out=$(cd "$out" && pwd)

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# The same bytes for the same sources: one time for every file and for the
# DLL's header (the last commit's, or SOURCE_DATE_EPOCH when set), sorted
# names, no extra fields. Zip keeps local times, so the zone is fixed too.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$repo" log -1 --format=%ct 2>/dev/null || echo 315532800)
fi
export SOURCE_DATE_EPOCH TZ=UTC

pack() {
    local folder=$1 archive=$2
    find "$stage/$folder" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
    rm -f "$archive"
    (cd "$stage" && find "$folder" | LC_ALL=C sort | zip -q -X -D "$archive" -@)
}

for pair in "x86_64 x64" "i686 x86"; do
    arch=${pair% *}
    name=ssao-${pair#* }
    "$here/windows/build-dll.sh" "$arch" "$builds/$arch"

    echo "== packing $name"
    root=$stage/$name
    mkdir -p "$root"
    # Without symbols or debug information: the build's copy keeps them.
    "$arch-w64-mingw32-strip" --strip-all -o "$root/ssao.dll" "$builds/$arch/plugin/ssao.dll"
    # The 32-bit module shares GCC's runtime with its host (see INSTALL.txt).
    if [ "$arch" = i686 ]; then
        cp "$builds/$arch/plugin/libgcc_s_dw2-1.dll" "$root/"
    fi
    cp -R "$repo/data/." "$root/"
    # Windows line ends: the texts are read with the host's tools.
    sed 's/$/\r/' "$here/package/INSTALL.txt" >"$root/INSTALL.txt"
    if [ -f "$repo/LICENSE" ]; then
        sed 's/$/\r/' "$repo/LICENSE" >"$root/LICENSE.txt"
    fi
    pack "$name" "$out/$name.zip"
    echo "== $out/$name.zip"
done
