#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
cd build
ctest --output-on-failure --parallel "$(nproc)" --timeout 600
# Each fuzz harness ten seconds from its corpus, with ASan and UBSan: a
# parser that crashes or leaks again fails the run (clang build, about 2 min).
cd ..
SECONDS_EACH=10 ./bench/fuzz.sh
