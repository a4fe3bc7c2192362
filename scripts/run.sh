#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds Velmora and starts the desktop
# program: with the modem set up in the data folder, or, when none has been
# probed yet, as the demonstration with a simulated modem.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
program=./build/apps/velmora/velmora
if [ "$#" -gt 0 ]; then
  exec "$program" "$@"
fi
data="${XDG_DATA_HOME:-$HOME/.local/share}/Velmora"
if grep -qi '^[[:space:]]*\[commands\]' "$data/vlm.ini" 2>/dev/null; then
  exec "$program"
fi
echo "No modem has been set up in $data: starting the demonstration (velmora --demo)."
echo "Its data folder is ${XDG_DATA_HOME:-$HOME/.local/share}/Velmora-demo; File, Exit (Ctrl+Q) ends it."
exec "$program" --demo
