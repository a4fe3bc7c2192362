#!/usr/bin/env bash
# Builds the Debian package from the build tree (building it first when
# needed) and checks it with lintian. Prints the package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh >/dev/null
./scripts/build.sh
rm -f build/velmora_*.deb
(cd build && cpack -G DEB >/dev/null)
deb=$(ls build/velmora_*.deb)
# Every tag is shown; those that remain are explained in packaging/README.md.
lintian --info "$deb" >&2 || true
echo "$deb"
