#!/usr/bin/env bash
# Installs the build into a scratch root as the package does and checks that
# everything a Debian desktop and systemd look for is where they look.
# Usage: check-install.sh BUILD-DIR
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null

failed=0
expect() {
  for f in "$@"; do
    [ -e "$root$f" ] || { echo "not installed: $f"; failed=1; }
  done
}
expect /usr/bin/velmora /usr/bin/velmora-cli /usr/bin/velmora-modem-sim \
  /usr/share/velmora/help/index.html /usr/share/applications/velmora.desktop \
  /usr/share/metainfo/org.velmora.Velmora.metainfo.xml /usr/share/icons/hicolor/scalable/apps/velmora.svg \
  /usr/share/man/man1/velmora.1.gz /usr/share/man/man1/velmora-cli.1.gz /usr/share/man/man1/velmora-modem-sim.1.gz \
  /usr/share/doc/velmora/copyright /usr/share/doc/velmora/changelog.Debian.gz \
  /lib/udev/rules.d/60-velmora.rules /usr/lib/systemd/user/velmora.service /lib/systemd/system/velmora@.service
for size in 16 22 24 32 48 64 128 256; do
  png=$root/usr/share/icons/hicolor/${size}x${size}/apps/velmora.png
  expect "${png#"$root"}"
  # the folder's size is the picture's size
  if [ -e "$png" ] && ! file "$png" | grep -q "$size x $size"; then echo "$png is not $size x $size"; failed=1; fi
done
# The entry's icon and program are the installed ones.
entry=$root/usr/share/applications/velmora.desktop
[ "$(sed -n 's/^Icon=//p' "$entry")" = velmora ] || { echo "Icon= is not velmora"; failed=1; }
[ -x "$root/usr/bin/$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry" | head -1)" ] || { echo "Exec= program not installed"; failed=1; }
# The units start the installed program.
for unit in /usr/lib/systemd/user/velmora.service /lib/systemd/system/velmora@.service; do
  exec=$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$root$unit")
  [ -x "$root$exec" ] || { echo "$unit: ExecStart $exec is not installed"; failed=1; }
  grep -qx 'Type=notify' "$root$unit" || { echo "$unit: not Type=notify"; failed=1; }
done
# Manual pages read back.
for page in "$root"/usr/share/man/man1/*.1.gz; do
  zcat "$page" | groff -man -Tascii -z -ww 2>&1 | grep . && { echo "$page: groff warns"; failed=1; }
done
[ $failed -eq 0 ] && echo "install layout complete"
exit $failed
