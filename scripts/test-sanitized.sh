#!/usr/bin/env bash
# The whole test suite once under AddressSanitizer and UndefinedBehaviorSanitizer
# (not part of CI: it takes far longer). Extra arguments go to ctest.
#
#   scripts/test-sanitized.sh                 everything
#   scripts/test-sanitized.sh -R RiffReader   some tests
set -euo pipefail
cd "$(dirname "$0")/.."
build=${SANITIZE_BUILD_DIR:-build-asan}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_SANITIZE=ON -DVELMORA_BUILD_BENCH=OFF \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
# Qt and the sound libraries keep some allocations for the process's life.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$build"
ctest --output-on-failure --timeout 1200 "$@"
