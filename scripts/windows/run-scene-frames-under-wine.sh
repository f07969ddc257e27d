#!/bin/bash
# The shipped module's frames of the demo's room on Wine's Direct3D 9 and
# D3DX: runs the scene-frames program of one width with the data folder of
# compiled effects, writing the frames and the module's log into <outdir>
# (emptied first) for the Linux comparison test.
#
#   run-scene-frames-under-wine.sh <x86_64|i686> <builddir> <compiled data dir> <outdir> [program options]
#
# The program options (--near D, --view second, --projection none, --warm-up N)
# follow; with --near the data folder's Settings.fxh must match the near
# plane or leave it to the module (HOST_NEAR_PLANE 0).
# The exit code is the program's; 77 when SSAO_SKIP_WINE is set.
set -u
set -o pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-session.sh"

options=("${@:5}")
[ $# -gt 4 ] && set -- "${@:1:4}"
wine_program_setup host/win/ssao_scene_frames.exe "compiled data dir" "$@"
data=$input
echo "== drawing the scene frames with $(basename "$program") ($arch), data $data, into $out"
wine_program_run "scene-frames program" "$program" --module "$(winepath -w "$build/plugin/ssao.dll")" \
    --base "$(winepath -w "$out")" --data "$(winepath -w "$data")" --out "$(winepath -w "$out")" "${options[@]}"
if [ -f "$out/Vexil.log" ]; then
    echo "== $out/Vexil.log"
    tr -d '\r' < "$out/Vexil.log"
    # Every compiled effect must load: Wine's D3DX cannot compile effect text.
    if grep -q "shader not loaded" "$out/Vexil.log"; then
        echo "an effect was not loaded under Wine" >&2
        rc=1
    fi
fi
echo "== exit code $rc"
exit $rc
