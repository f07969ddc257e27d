#!/bin/bash
# Builds the 64-bit module and the Windows host, then runs the host's scripted
# session under Wine (real d3d9/d3dx9 on Mesa) on a private X server.
#
#   run-under-wine.sh [builddir]        (default: <repo>/build-win-wine)
#
# SSAO_WINE_MODULE names another module for the host to load (the build is
# still made, for the host).
# The exit code is the host's; 77 when SSAO_SKIP_WINE is set.
set -u
set -o pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
source "$here/ensure-packages.sh"

if [ -n "${SSAO_SKIP_WINE:-}" ]; then
    echo "skipping the Wine run: SSAO_SKIP_WINE is set"
    exit 77
fi

build=${1:-$repo/build-win-wine}
mkdir -p "$build"
build=$(cd "$build" && pwd)

ensure_packages x86_64-w64-mingw32-g++=mingw-w64 cmake=cmake wine=wine /usr/lib/wine/wine64=wine64 \
    Xvfb=xvfb /usr/lib/x86_64-linux-gnu/dri/swrast_dri.so=libgl1-mesa-dri || exit 1

"$here/build-dll.sh" x86_64 "$build" || { echo "the x86_64 build failed" >&2; exit 1; }
dll=${SSAO_WINE_MODULE:-$build/plugin/ssao.dll}
host=$build/host/win/ssao_win_host.exe
if [ ! -f "$dll" ] || [ ! -f "$host" ]; then
    echo "missing ssao.dll or ssao_win_host.exe in $build" >&2
    exit 1
fi

xvfb_pid=""
export WINEPREFIX="$build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

cleanup() {
    # Our prefix's wineserver, then our X server; nothing else.
    if [ -d "$WINEPREFIX" ]; then wineserver -k >/dev/null 2>&1; fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A display that nobody uses; another run may take one at the same moment,
# so a server that dies at once means: try the next.
for n in 90 91 92 93 94 95 96 97 98 99; do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$build/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.2
    done
    if kill -0 "$xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
        export DISPLAY=":$n"
        break
    fi
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
done
if [ -z "$xvfb_pid" ]; then
    echo "no free X display in :90..:99 for Xvfb" >&2
    exit 1
fi
echo "== Xvfb on $DISPLAY, Wine prefix $WINEPREFIX"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== creating the Wine prefix (the first time takes a while)"
    timeout 300 wine wineboot -i >"$build/wineboot.log" 2>&1
    wineserver -w
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "wineboot did not create the prefix; see $build/wineboot.log" >&2
        exit 1
    fi
fi

out="$build/wine-run${SSAO_WINE_MODULE:+-other}"
rm -rf "$out"
mkdir -p "$out"
base=$(winepath -w "$out")'\'
data=$(winepath -w "$repo/data")'\'
module=$(winepath -w "$dll")
echo "== running $(basename "$host"): base $base, data $data"

timeout 300 wine "$host" --module "$module" --base "$base" --data "$data" | tr -d '\r'
rc=$?
if [ $rc = 124 ]; then
    echo "the host did not finish within 300 s" >&2
fi
if [ -f "$out/Vexil.log" ]; then
    echo "== $out/Vexil.log"
    cat "$out/Vexil.log"
fi
echo "== host exit code $rc"
exit $rc
