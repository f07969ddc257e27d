#!/bin/sh
# check-layering.sh <cmake> <builddir> <target>...
# Builds layering_probe_<target> for each target: each must fail, and fail
# because <soft/SoftDeviceControl.h> is not found (not for another reason).
cmake=$1
build=$2
shift 2
status=0
for target in "$@"; do
    if out=$("$cmake" --build "$build" --target "layering_probe_$target" 2>&1); then
        echo "FAIL: $target reaches <soft/SoftDeviceControl.h>"
        status=1
    elif printf '%s\n' "$out" | grep -Eq "soft/SoftDeviceControl\.h'?:? (No such file|file not found)"; then
        echo "ok: $target cannot reach <soft/SoftDeviceControl.h>"
    else
        echo "FAIL: the probe of $target failed for another reason:"
        printf '%s\n' "$out"
        status=1
    fi
done
exit $status
