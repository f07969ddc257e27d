#!/usr/bin/env bash
# Builds everything and runs every test:
#   1. the release build and its tests (the module, the substitute platform,
#      the demo host, both Windows DLLs and the run under Wine),
#   2. the same suite under AddressSanitizer and UndefinedBehaviorSanitizer,
#   3. a Release (-O3) build, tests included, built only: its optimiser
#      warns where the others do not, and warnings are errors,
#   4. the fuzzers: corpus replay and a bounded fuzzing run each.
# Set SSAO_SKIP_WINE=1 to skip the Wine runs (each says it was skipped).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

scripts/install-deps.sh build tests sanitizers windows wine
# The 32-bit Wine runs (skipped, with their packages, under SSAO_SKIP_WINE).
if [ -z "${SSAO_SKIP_WINE:-}" ]; then
  scripts/install-deps.sh wine32
fi

JOBS=$(nproc)
step() { printf '\n==== %s ====\n' "$*"; }

step "release build"
cmake -S "$ROOT" -B "$ROOT/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$ROOT/build/release" -j "$JOBS"
step "release tests"
ctest --test-dir "$ROOT/build/release" --output-on-failure -j "$JOBS" --timeout 1200

if [ -x "$ROOT/build/release/tests/bench/frame_benchmark" ]; then
  step "frame benchmark (short run)"
  "$ROOT/build/release/tests/bench/frame_benchmark" --benchmark_min_time=0.05
fi

step "sanitizer build (ASan + UBSan)"
cmake -S "$ROOT" -B "$ROOT/build/asan" -DCMAKE_BUILD_TYPE=Debug -DSSAO_SANITIZE=ON -DSSAO_BENCHMARKS=OFF
cmake --build "$ROOT/build/asan" -j "$JOBS"
step "sanitizer tests"
# Known leaks of third-party code are listed, with reasons, in the suppressions file.
export LSAN_OPTIONS="suppressions=$ROOT/tests/lsan-suppressions.txt"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$ROOT/build/asan" --output-on-failure -j "$JOBS" --timeout 1200 -E '^windows_'

step "release -O3 build (built, not run)"
cmake -S "$ROOT" -B "$ROOT/build/release-O3" -DCMAKE_BUILD_TYPE=Release
cmake --build "$ROOT/build/release-O3" -j "$JOBS"

step "fuzzers"
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$ROOT/build/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSSAO_FUZZ=ON -DSSAO_BENCHMARKS=OFF
fuzzers=$(cd "$ROOT/tests/fuzz" && ls fuzz_*.cpp 2>/dev/null | sed 's/\.cpp$//' || true)
if [ -n "$fuzzers" ]; then
  for f in $fuzzers; do cmake --build "$ROOT/build/fuzz" -j "$JOBS" --target "$f"; done
  ctest --test-dir "$ROOT/build/fuzz" --output-on-failure -j "$JOBS" -R '^fuzz_'
fi

step "all tests passed"
