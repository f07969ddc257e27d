#!/bin/bash
# Counts the occlusion probes with Wine's Direct3D 9: builds the count
# program of one width and runs it on a private X server, writing counts.txt
# into <outdir> (emptied first) for the Linux comparison test. The input
# folder is not read.
#
#   run-occlusion-counts-under-wine.sh <x86_64|i686> <builddir> <any folder> <outdir>
#
# The exit code is the program's; 77 when SSAO_SKIP_WINE is set.
set -u
set -o pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-session.sh"

wine_program_setup tools/compare/queries/ssao_occlusion_counts.exe "folder" "$@"
echo "== counting the occlusion probes with $(basename "$program") ($arch) into $out"
wine_program_run "count program" "$program" "$(winepath -w "$out")"
echo "== exit code $rc"
exit $rc
