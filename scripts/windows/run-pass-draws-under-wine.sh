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
source "$here/wine-session.sh"

wine_program_setup tools/compare/passes/ssao_pass_draws.exe "shaderdir" "$@"
shaders=$input
echo "== drawing the passes with $(basename "$program") ($arch) into $out"
wine_program_run "pass program" "$program" "$(winepath -w "$shaders")" "$(winepath -w "$out")"
echo "== exit code $rc"
exit $rc
