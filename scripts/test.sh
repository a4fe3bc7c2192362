#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
cd build
ctest --output-on-failure --parallel "$(nproc)" --timeout 600
