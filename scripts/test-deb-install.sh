#!/usr/bin/env bash
# Installs the package built by build-deb.sh into a fresh Debian root made
# with mmdebstrap (this machine's release), runs the installed programs from
# there (velmora-cli --help and doctor, velmora --demo under Xvfb, velmora-cli
# run telling a service manager it is ready and alive), purges the package
# and checks that it left nothing behind. Needs root. Run by hand:
#   sudo scripts/test-deb-install.sh [PACKAGE.deb]
set -euo pipefail
cd "$(dirname "$0")/.."
deb=${1:-$(ls build/velmora_*.deb 2>/dev/null | head -1)}
[ -f "$deb" ] || { echo "no package: run scripts/build-deb.sh first" >&2; exit 1; }
command -v mmdebstrap >/dev/null || apt-get install -y -q mmdebstrap >/dev/null
. /etc/os-release

root=$(mktemp -d /tmp/velmora-root.XXXXXX)
cleanup() {
  for m in dev/pts dev proc; do umount -l "$root/$m" 2>/dev/null || true; done
  rm -rf "$root" "$root".*
}
trap cleanup EXIT
step() { echo "== $*"; }

step "a fresh $PRETTY_NAME root in $root"
mmdebstrap --quiet --variant=apt --include=xvfb,xauth,file "$VERSION_CODENAME" "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf" # mmdebstrap leaves none: apt in the root needs it
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
in_root() { chroot "$root" env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
packages() { in_root dpkg-query -W -f '${Package}\n' | sort; }
packages >"$root.before"

step "dpkg -i $(basename "$deb"), then its dependencies"
cp "$deb" "$root/tmp/velmora.deb"
in_root apt-get update -q >/dev/null # mmdebstrap empties the package lists
in_root dpkg -i /tmp/velmora.deb >/dev/null 2>&1 || in_root apt-get install -y -q -f >/dev/null
# What apt would bring along by default: the recommended packages (speech among them).
dpkg-deb -f "$deb" Recommends | tr ',' '\n' | while read -r choice; do
  for p in ${choice//|/ }; do in_root apt-get install -y -q "$p" </dev/null >/dev/null 2>&1 && break; done
done
in_root dpkg -s velmora | grep -E '^(Status|Version|Depends|Recommends):'
in_root dpkg -L velmora | sort >"$root.files"

step "velmora-cli --help"
in_root velmora-cli --help >"$root/tmp/help.txt"
head -5 "$root/tmp/help.txt"
step "velmora-cli doctor (exit 1 expected: no modem here)"
in_root velmora-cli doctor || true

step "velmora --demo under Xvfb, 40 s: help pages and icons from /usr/share"
# timeout says 124 when it had to end the program; the program's own failures give other codes.
in_root sh -c 'xvfb-run -a -s "-screen 0 1280x800x24" timeout -s INT 40 velmora --demo >/tmp/demo.out 2>&1; echo "exit $?"'
tail -5 "$root/tmp/demo.out" || true
events=$root/root/.local/share/Velmora-demo/Events.log
grep -c . "$events" | sed 's/^/Events.log lines: /'
grep -m3 -E 'RING|CALLERID|NMBR|File saved' "$events" || { echo "the demo handled no call"; exit 1; }
in_root sh -c 'ls /usr/share/velmora/help/index.html /usr/share/icons/hicolor/*/apps/velmora.*' >"$root/tmp/ls.txt"
head -3 "$root/tmp/ls.txt"

step "velmora-cli run as a service: READY and WATCHDOG to a notify socket"
in_root sh -c 'velmora-modem-sim --profile conexant --path-file /tmp/sim.path >/tmp/sim.log 2>&1 & echo $! >/tmp/sim.pid'
for _ in $(seq 50); do [ -s "$root/tmp/sim.path" ] && break; sleep 0.1; done
port=$(cat "$root/tmp/sim.path")
in_root velmora-cli --data-dir /tmp/svc --port "$port" probe | tail -2
python3 - "$root" "$port" <<'PY'
import os, socket, subprocess, sys, time
root, port = sys.argv[1], sys.argv[2]
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.bind(os.path.join(root, "tmp/notify"))
s.settimeout(20)
run = subprocess.Popen(["chroot", root, "env", "-i", "HOME=/root", "PATH=/usr/bin:/bin", "NOTIFY_SOCKET=/tmp/notify",
                        "WATCHDOG_USEC=2000000", "velmora-cli", "--data-dir", "/tmp/svc", "--port", port, "run"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
got = []
try:
    while sum(m == b"WATCHDOG=1" for m in got) < 2:
        got.append(s.recv(512))
    run.terminate()
    got.append(s.recv(512))
finally:
    run.kill()
print("notify messages:", [m.decode() for m in got])
ok = got[0].startswith(b"READY=1") and got[-1] == b"STOPPING=1"
sys.exit(0 if ok else 1)
PY
kill "$(cat "$root/tmp/sim.pid")" 2>/dev/null || true
step "systemd-analyze verify of the installed units"
if in_root sh -c 'command -v systemd-analyze' >/dev/null; then
  in_root systemd-analyze verify --man=no /lib/systemd/system/velmora@.service || true
else
  echo "systemd is not in this root; no systemd user session can be had here"
fi

step "dpkg --purge velmora, then the packages it brought"
in_root dpkg --purge velmora
# shellcheck disable=SC2046
in_root apt-get purge -y -q $(comm -13 "$root.before" <(packages)) >/dev/null
comm -13 "$root.before" <(packages) | sed 's/^/still installed: /'
# Folders stay when other packages share them (/lib is even a link to usr/lib).
left=$(while read -r f; do if [ ! -d "$root$f" ] && { [ -e "$root$f" ] || [ -L "$root$f" ]; }; then echo "$f"; fi; done <"$root.files")
left+=$(cd "$root" && find . -xdev \( -path ./proc -o -path ./dev -o -path ./tmp -o -path ./root \) -prune \
  -o -iname '*velmora*' -print)
rm -f "$root.before" "$root.files"
if [ -n "$left" ]; then echo "left behind after the purge:"; echo "$left"; exit 1; fi
echo "purged: no file of the package and nothing named velmora is left"
