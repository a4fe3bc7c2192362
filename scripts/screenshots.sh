#!/usr/bin/env bash
# Pictures of the desktop program's windows under Xvfb, into DIR
# (default build/screenshots): main window, Logger, caller-ID popup,
# new-messages window and tray menu over a few hundred made-up recordings.
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/screenshots}"
cmake --build build --target velmora-screenshots >/dev/null
xvfb-run -a -s "-screen 0 1280x800x24" ./build/tools/screenshots/velmora-screenshots "$out"
