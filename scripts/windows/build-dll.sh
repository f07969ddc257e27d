#!/bin/bash
# Builds the module (and the Windows host) for Windows with mingw-w64 and checks
# what the module exports and imports.
#
#   build-dll.sh <x86_64|i686> <builddir>
set -eu
set -o pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)

if [ $# -ne 2 ]; then
    echo "usage: $0 <x86_64|i686> <builddir>" >&2
    exit 2
fi
arch=$1
build=$2
case $arch in
    x86_64|i686) ;;
    *) echo "unknown architecture '$arch' (x86_64 or i686)" >&2; exit 2 ;;
esac

"$repo/scripts/install-deps.sh" windows

echo "== configuring $arch in $build"
cmake -S "$repo" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/Toolchain-mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSSAO_BUILD_TESTS=OFF -DSSAO_BENCHMARKS=OFF
echo "== building $arch"
cmake --build "$build" -j2

dll="$build/plugin/ssao.dll"
if [ ! -f "$dll" ]; then
    echo "no ssao.dll was built in $build" >&2
    exit 1
fi

# The 32-bit module and host share GCC's runtime library, so that exceptions
# cross between them (cmake/MingwRuntime.cmake); it lies beside each.
runtime=""
if [ "$arch" = i686 ]; then
    runtime=libgcc_s_dw2-1.dll
    for folder in plugin host/win tools/compare/passes tools/compare/effects; do
        if [ ! -f "$build/$folder/$runtime" ]; then
            echo "no $runtime beside the programs in $build/$folder" >&2
            exit 1
        fi
    done
fi

echo "== checking $dll"
# The module reaches Direct3D only through the device it is handed, so it
# imports D3DX but not d3d9.dll; the C++ runtime is linked in statically,
# and on 32 bits libgcc is the shared one.
"$here/check-pe.sh" "$dll" --exports CreatePlugin \
    --allow "kernel32.dll msvcrt.dll d3dx9_43.dll $runtime" --require "d3dx9_43.dll $runtime"

host="$build/host/win/ssao_win_host.exe"
if [ ! -f "$host" ]; then
    echo "no ssao_win_host.exe was built in $build" >&2
    exit 1
fi
echo "== checking $host"
"$here/check-pe.sh" "$host" --exports "" \
    --allow "kernel32.dll msvcrt.dll user32.dll d3d9.dll $runtime" --require "d3d9.dll $runtime"
for program in tools/compare/passes/ssao_pass_draws host/win/ssao_scene_frames tools/compare/effects/ssao_effect_states \
    tools/compare/queries/ssao_occlusion_counts; do
    if [ ! -f "$build/$program.exe" ]; then
        echo "no $program.exe was built in $build" >&2
        exit 1
    fi
done
echo "== $arch build is sound"
