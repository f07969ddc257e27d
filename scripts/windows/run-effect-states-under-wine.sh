#!/bin/bash
# What Wine's D3DX shows of each compiled effect and sets for each of its
# passes: runs the effect-states program of one width on a folder of
# compiled effects, writing <effect>.description and <effect>.states into
# <outdir> (emptied first) for the Linux comparison with the substitute.
#
#   run-effect-states-under-wine.sh <x86_64|i686> <builddir> <compiled effects dir> <outdir>
#
# The exit code is the program's; 77 when SSAO_SKIP_WINE is set.
set -u
set -o pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-session.sh"

wine_program_setup tools/compare/effects/ssao_effect_states.exe "compiled effects dir" "$@"
data=$input
echo "== recording the passes' states with $(basename "$program") ($arch), data $data, into $out"
wine_program_run "effect-states program" "$program" --data "$(winepath -w "$data")" --out "$(winepath -w "$out")"
echo "== exit code $rc"
exit $rc
