#!/usr/bin/env bash
# Runs a command on a virtual X display of its own (Xvfb, no window manager) with Qt's xcb platform,
# so that its windows hear what a real X server sends them; the display goes with the command.
#   on-xvfb.sh COMMAND [ARGUMENT...]
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: on-xvfb.sh COMMAND [ARGUMENT...]" >&2; exit 2; }
tmp=$(mktemp -d)
xvfb=
cleanup() {
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT

# Xvfb picks a free display itself and names it on descriptor 3 once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do
    [ -s "$tmp/display" ] && break
    sleep 0.1
done
[ -s "$tmp/display" ] || { cat "$tmp/xvfb.log" >&2; echo "on-xvfb: Xvfb did not start" >&2; exit 1; }

# No session bus belongs to the display: with none named, the bus library would try to start one
# for it, which would outlive the display.
status=0
env -u WAYLAND_DISPLAY DISPLAY=":$(cat "$tmp/display")" QT_QPA_PLATFORM=xcb \
    DBUS_SESSION_BUS_ADDRESS=disabled: "$@" || status=$?
exit "$status"
