#!/usr/bin/env bash
# Makes the Debian package from the build tree into a scratch folder and
# fails on any lintian error or warning (overrides in packaging/lintian-overrides).
# Usage: check-deb.sh BUILD-DIR
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >/dev/null
deb=$(ls "$out"/velmora_*.deb)
dpkg-deb -f "$deb" Depends | grep -q 'libqt6core6' || { echo "no library dependencies computed"; exit 1; }
if ! command -v lintian >/dev/null; then echo "lintian is not installed: package built, not checked"; exit 0; fi
lintian --fail-on error,warning "$deb" 2>&1 | grep -v 'running with root privileges' || true
lintian --fail-on error,warning "$deb" >/dev/null 2>&1
echo "package $(basename "$deb") is lintian clean"
