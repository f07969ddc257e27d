#!/bin/sh
# Lists what the module exports (defined dynamic symbols) and fails unless
# CreatePlugin is the only one besides the linker's own markers.
module="$1"
[ -f "$module" ] || { echo "no module at '$module'"; exit 1; }
symbols=$(nm -D --defined-only "$module" | awk '{print $NF}' |
          grep -v -x -E '_init|_fini|_edata|_end|__bss_start|_DYNAMIC|_GLOBAL_OFFSET_TABLE_')
echo "exports of $module:"
echo "$symbols"
if [ "$symbols" = "CreatePlugin" ]; then
    exit 0
fi
echo "expected CreatePlugin alone"
exit 1
