#!/bin/bash
# Draws the device comparison's passes with Wine's Direct3D 9: builds the pass
# program of one width and runs it on a private X server, writing one picture
# per pass into <outdir> (emptied first) for the Linux comparison test.
#
#   run-pass-draws-under-wine.sh <x86_64|i686> <builddir> <shaderdir> <outdir>
#
# The exit code is the program's; 77 when SSAO_SKIP_WINE is set.
set -u
set -o pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/ensure-packages.sh"
source "$here/wine-session.sh"

if [ -n "${SSAO_SKIP_WINE:-}" ]; then
    echo "skipping the Wine run: SSAO_SKIP_WINE is set"
    exit 77
fi
if [ $# -ne 4 ]; then
    echo "usage: $0 <x86_64|i686> <builddir> <shaderdir> <outdir>" >&2
    exit 2
fi
arch=$1
mkdir -p "$2" "$4"
build=$(cd "$2" && pwd)
shaders=$(cd "$3" && pwd) || exit 1
out=$(cd "$4" && pwd)

wine_session "$arch" "$build" || exit 1
"$here/build-dll.sh" "$arch" "$build" || { echo "the $arch build failed" >&2; exit 1; }
program=$build/host/win/ssao_pass_draws.exe
if [ ! -f "$program" ]; then
    echo "no ssao_pass_draws.exe in $build" >&2
    exit 1
fi

find "$out" -mindepth 1 -delete
echo "== drawing the passes with $(basename "$program") ($arch) into $out"
timeout 300 wine "$program" "$(winepath -w "$shaders")" "$(winepath -w "$out")" | tr -d '\r'
rc=$?
if [ $rc = 124 ]; then
    echo "the pass program did not finish within 300 s" >&2
fi
echo "== exit code $rc"
exit $rc
