#!/bin/sh
# check-layering.sh <cmake> <builddir> <probe> <header> <target>...
# Builds <probe>_<target> for each target: each must fail, and fail because
# <header> is not found (not for another reason).
cmake=$1
build=$2
probe=$3
header=$4
shift 4
pattern=$(printf '%s' "$header" | sed 's/[.]/\\./g')
status=0
for target in "$@"; do
    if out=$("$cmake" --build "$build" --target "${probe}_$target" 2>&1); then
        echo "FAIL: $target reaches $header"
        status=1
    elif printf '%s\n' "$out" | grep -Eq "$pattern'?:? (No such file|file not found)"; then
        echo "ok: $target cannot reach $header"
    else
        echo "FAIL: the probe of $target failed for another reason:"
        printf '%s\n' "$out"
        status=1
    fi
done
exit $status
