#!/usr/bin/env bash
# Pictures of the desktop program under Xvfb, into DIR (default build/screenshots):
#  light/, dark/  every window, by velmora-screenshots, in Qt's own light palette and
#                 in Fusion with a dark palette;
#  demo-*.png     the whole screen while the demonstration runs on a desktop of its
#                 own: a private D-Bus session (dbus-run-session), a window manager
#                 (openbox), a system tray (trayer), a notification daemon (dunst) and
#                 dbus-monitor, whose log (dbus-monitor.log) shows what reached the
#                 notification service.
# It waits for the demonstration's first two calls (about three minutes) and clicks
# the new message's notification, whose Play action opens the window on that row and
# plays it. Not part of CI. Installs the tools it lacks.
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-build/screenshots}")"

if [ "${2:-}" != "--in-session" ]; then
  missing=()
  for pair in xvfb:Xvfb dbus-daemon:dbus-run-session dbus-bin:dbus-monitor trayer:trayer dunst:dunst \
              xdotool:xdotool imagemagick:import x11-utils:xprop openbox:openbox; do
    command -v "${pair#*:}" >/dev/null || missing+=("${pair%%:*}")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
  cmake --build build --target velmora velmora-cli velmora-modem-sim velmora-screenshots >/dev/null
  mkdir -p "$out"
  exec dbus-run-session -- "$0" "$out" --in-session
fi

# --- inside the private session bus -------------------------------------------------
pids=()
work="$(mktemp -d)"
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

display=":$((200 + RANDOM % 300))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
export DISPLAY="$display"
for _ in $(seq 50); do xprop -root >/dev/null 2>&1 && break; sleep 0.1; done

dbus-monitor --session "interface='org.freedesktop.Notifications'" >"$out/dbus-monitor.log" 2>&1 & pids+=($!)
cat >"$work/dunstrc" <<'EOF'
[global]
    width = 400
    height = 150
    origin = top-right
    offset = 12x44
    font = DejaVu Sans 10
    frame_width = 2
    frame_color = "#8fa8c8"
    padding = 10
    horizontal_padding = 10
    icon_position = left
    min_icon_size = 32
    max_icon_size = 48
    format = "<b>%s</b>\n%b"
    mouse_left_click = do_action, close_current
[urgency_low]
    background = "#2b2b2b"
    foreground = "#ffffff"
    timeout = 0
[urgency_normal]
    background = "#2b3b55"
    foreground = "#ffffff"
    timeout = 0
[urgency_critical]
    background = "#6b1d1d"
    foreground = "#ffffff"
    timeout = 0
# A click on a new message's notification takes its Play action.
[velmora-message]
    appname = Velmora
    summary = "New message"
    action_name = play
EOF
dunst -config "$work/dunstrc" >"$work/dunst.log" 2>&1 & pids+=($!)

shot() {
  import -window root "$out/$1.png"
  echo "wrote $out/$1.png"
}
# Waits up to $2 seconds for the pattern $1 in the file $3.
wait_for() {
  for _ in $(seq $(($2 * 5))); do grep -q -- "$1" "$3" 2>/dev/null && return 0; sleep 0.2; done
  echo "screenshots: no '$1' in $3 after $2 s" >&2
  return 1
}

./build/tools/screenshots/velmora-screenshots "$out/light"
./build/tools/screenshots/velmora-screenshots "$out/dark" --dark

# The desktop for the demonstration: a window manager (minimising needs one) and a tray.
openbox >/dev/null 2>&1 & pids+=($!)
trayer --edge top --align right --widthtype request --height 32 --SetDockType true --transparent false \
       --tint 0x404040 --expand false >/dev/null 2>&1 & pids+=($!)
xdotool search --sync --class '^trayer$' >/dev/null
sleep 2

./build/apps/velmora/velmora --demo --data-dir "$work/demo" >"$work/velmora.log" 2>&1 & velmora=$!
pids+=($velmora)
# Events.log is written at the end; the live signs are the simulator's path and the bus.
for _ in $(seq 100); do [ -s "$work/demo/modem-sim.path" ] && break; sleep 0.2; done
sleep 4
# The main window, not the tray icon's (same class and name).
window=""
for _ in $(seq 50); do
  for candidate in $(xdotool search --onlyvisible --class '^Velmora$'); do
    [ "$(xwininfo -id "$candidate" | awk '/Width:/ {print $2}')" -gt 200 ] && window=$candidate
  done
  [ -n "$window" ] && break
  sleep 0.2
done
xdotool windowmove "$window" 20 40 windowsize "$window" 900 560
{ echo "window class:"; xprop -id "$window" WM_CLASS _NET_WM_PID; } >"$out/window.txt"
sleep 1
shot demo-1-start-tray
convert "$out/demo-1-start-tray.png" -crop 80x40+1200+0 -filter point -resize 400% "$out/demo-1-tray-zoomed.png"
wait_for 'string "Incoming call"' 90 "$out/dbus-monitor.log"
sleep 1.5
shot demo-2-call-notification
sleep 10 # picked up on the handset after two rings, then recorded
xdotool mousemove 1265 16   # over the tray icon: its tooltip
sleep 2.5
shot demo-3-recording-tray-tooltip
xdotool mousemove 640 700
wait_for 'string "New message"' 240 "$out/dbus-monitor.log"
sleep 1.5
shot demo-4-message-notification
xdotool windowminimize "$window"
sleep 1.5
shot demo-5-minimised-to-tray
{ echo "after minimising:"; xwininfo -id "$window" | grep "Map State"; } >>"$out/window.txt"
# The message's notification is the newest: at the top right, under the tray.
xdotool mousemove 1060 80 click 1
wait_for "ActionInvoked" 10 "$out/dbus-monitor.log"
sleep 1.5
shot demo-6-play-action
# The modem unplugged: the simulator ends.
simulator=$(pgrep -f -- "--path-file $work/demo/modem-sim.path" || true)
[ -n "$simulator" ] && kill "$simulator"
wait_for 'string "Modem lost"' 30 "$out/dbus-monitor.log" && sleep 1.5 && shot demo-7-modem-lost
kill "$velmora"
wait "$velmora" 2>/dev/null || true
cp "$work/demo/Events.log" "$out/demo-events.log"
grep -q -- "-- Play file" "$out/demo-events.log" || echo "screenshots: the Play action played nothing" >&2
echo "notifications seen: $(grep -c 'member=Notify' "$out/dbus-monitor.log"), actions: $(grep -c 'member=ActionInvoked' "$out/dbus-monitor.log")"
