#!/usr/bin/env bash
# Builds the module and the demo host and runs the host's scripted session on
# the software device. Options after the script name go to the host (see --help).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
scripts/install-deps.sh build tests
cmake -S "$ROOT" -B "$ROOT/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$ROOT/build/release" -j "$(nproc)" --target ssao ssao_demo_host
exec "$ROOT/build/release/host/ssao_demo_host" \
  --module "$ROOT/build/release/plugin/libssao.so" \
  --data "$ROOT/data/" \
  --out "$ROOT/out/" "$@"
