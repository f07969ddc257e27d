#!/bin/bash
# Runs the Windows host under Wine against a module that breaks the rules and
# expects the host to fail, naming each broken rule.
#
#   faulty-module-under-wine.sh <builddir-of-the-x86_64-build>
set -u
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)

if [ -n "${SSAO_SKIP_WINE:-}" ]; then
    echo "skipping the Wine run: SSAO_SKIP_WINE is set"
    exit 77
fi
build=${1:?usage: $0 <builddir>}
mkdir -p "$build/faulty"
cxx=x86_64-w64-mingw32-g++
command -v x86_64-w64-mingw32-g++-win32 >/dev/null && cxx=x86_64-w64-mingw32-g++-win32
dll="$build/faulty/faulty.dll"
if ! $cxx -std=c++17 -Wall -Wextra -Werror -shared -I"$repo/contract" -o "$dll" "$here/FaultyModule.cpp" \
        -static-libgcc -static-libstdc++ -Wl,--exclude-all-symbols; then
    echo "FAIL: the faulty module did not build"
    exit 1
fi

output=$(SSAO_WINE_MODULE="$dll" "$repo/scripts/windows/run-under-wine.sh" "$build" 2>&1)
rc=$?
echo "$output" | sed -n '/^FAIL:/p;/^host:/p'
failures=0
if [ $rc = 0 ]; then
    echo "FAIL: the host passed a faulty module"
    failures=1
fi
while IFS= read -r expected; do
    if grep -qF -- "$expected" <<<"$output"; then
        echo "ok: noticed: $expected"
    else
        echo "FAIL: the host did not report: $expected"
        failures=1
    fi
done <<'LIST'
the plug-in left a changed device state: D3DRS_ZFUNC was 2, is 8
with no effect loaded the back buffer is left as it was
the off-screen target's pixels are unchanged
IDirect3DDevice9::Reset returned 0x8876086C, not D3D_OK
device references after deactivation: 3, the host's own are 2
the device's last Release returns 0, not 1
the log holds "SSAO: Initialising..."
LIST
exit $failures
