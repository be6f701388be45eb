#!/usr/bin/env bash
# Photographs the main window for the README: opens the program through ./run.sh, on its demo
# server, on a private Xvfb display, and writes the window as a small PNG.
#   scripts/screenshot.sh [OUTPUT]    (default docs/main-window.png)
# The demo folder is the one ./run.sh uses ($XDG_DATA_HOME/vantrelle-demo); a demo server that was
# not running before is stopped again afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs/main-window.png}")

scripts/install-deps.sh screenshot
demo="${XDG_DATA_HOME:-$HOME/.local/share}/vantrelle-demo"
server_was_running=false
if [ -f "$demo/server/mysqld.pid" ] && kill -0 "$(cat "$demo/server/mysqld.pid")" 2>/dev/null; then
    server_was_running=true
fi

tmp=$(mktemp -d)
xvfb=
program=
cleanup() {
    if [ -n "$program" ]; then kill "$program" 2>/dev/null || true; fi
    if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
    if ! $server_was_running; then scripts/mariadb.sh stop "$demo/server" >/dev/null || true; fi
    rm -rf "$tmp"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do
    [ -s "$tmp/display" ] && break
    sleep 0.1
done
[ -s "$tmp/display" ] || { cat "$tmp/xvfb.log" >&2; echo "screenshot: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$tmp/display")"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

# ./run.sh ends by becoming the program, so its process is the program's.
echo "Building and opening the program (log: ./run.sh's output below on failure)..."
./run.sh >"$tmp/run.log" 2>&1 &
program=$!
window=
until window=$(xdotool search --onlyvisible --name '^Vantrelle$' 2>/dev/null | head -n 1) &&
    [ -n "$window" ]; do
    kill -0 "$program" 2>/dev/null || { cat "$tmp/run.log" >&2; echo "screenshot: ./run.sh ended" >&2; exit 1; }
    sleep 0.5
done
# With a stored profile the program opens the main window by itself; let it finish drawing.
sleep 2

mkdir -p "$(dirname "$out")"
import -window "$window" "$tmp/window.png"
# A window of flat colours loses nothing visible at 64 colours and stays a few tens of kilobytes.
convert "$tmp/window.png" -strip -colors 64 "PNG8:$out"
echo "Wrote $out ($(identify -format '%wx%h' "$out"), $(stat -c %s "$out") bytes)"
