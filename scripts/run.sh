#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds Velmora and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
exec ./build/apps/velmora-cli/velmora-cli demo "$@"
