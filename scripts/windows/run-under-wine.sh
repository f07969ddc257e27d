#!/bin/bash
# Builds the module and the Windows host of one width, then runs the host's
# scripted session under Wine (real d3d9/d3dx9 on Mesa) on a private X server;
# a 32-bit host and module run in a 32-bit Wine prefix.
#
#   run-under-wine.sh [builddir [x86_64|i686 [datadir [host options...]]]]
#   (default: <repo>/build-win-wine x86_64 <repo>/data)
#
# Host options after the data folder go to the host (--multisample 4), and
# the run gets a folder of its own named after them.
# Wine's D3DX cannot compile effect text: a data folder of compiled effects
# (the build's tests/windows/scene/compiled-data) lets the module load them.
# SSAO_WINE_MODULE names another module for the host to load (the build is
# still made, for the host).
# The exit code is the host's (77 when it cannot run here, saying why); 77
# when SSAO_SKIP_WINE is set.
set -u
set -o pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
source "$here/wine-session.sh"

if [ -n "${SSAO_SKIP_WINE:-}" ]; then
    echo "skipping the Wine run: SSAO_SKIP_WINE is set"
    exit 77
fi

build=${1:-$repo/build-win-wine}
arch=${2:-x86_64}
datadir=$(cd "${3:-$repo/data}" && pwd) || exit 1
host_options=("${@:4}")
run_name=wine-run
if [ ${#host_options[@]} -gt 0 ]; then
    run_name+=$(printf -- '-%s' "${host_options[@]}" | tr -cs 'A-Za-z0-9\n' '-' | sed 's/-\{2,\}/-/g; s/-$//')
fi
mkdir -p "$build"
build=$(cd "$build" && pwd)

wine_session "$arch" "$build" || exit 1

"$here/build-dll.sh" "$arch" "$build" || { echo "the $arch build failed" >&2; exit 1; }
dll=${SSAO_WINE_MODULE:-$build/plugin/ssao.dll}
host=$build/host/win/ssao_win_host.exe
if [ ! -f "$dll" ] || [ ! -f "$host" ]; then
    echo "missing ssao.dll or ssao_win_host.exe in $build" >&2
    exit 1
fi

out="$build/$run_name${SSAO_WINE_MODULE:+-other}"
rm -rf "$out"
mkdir -p "$out"
base=$(winepath -w "$out")'\'
data=$(winepath -w "$datadir")'\'
module=$(winepath -w "$dll")
echo "== running $(basename "$host"): base $base, data $data"

wine_program_run "host" "$host" --module "$module" --base "$base" --data "$data" "${host_options[@]}"
if [ -f "$out/Vexil.log" ]; then
    echo "== $out/Vexil.log"
    cat "$out/Vexil.log"
    # With compiled effects every one of them must load.
    if [ -n "${3:-}" ] && grep -q "shader not loaded" "$out/Vexil.log"; then
        echo "an effect was not loaded under Wine" >&2
        [ $rc = 0 ] && rc=1
    fi
fi
echo "== host exit code $rc"
exit $rc
