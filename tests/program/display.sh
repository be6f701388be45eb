#!/bin/bash
# A private X display with a window manager, for the window tests that need a real window system
# (focus, activation, close requests from the window system): Xvfb on the first free display
# number, with openbox managing its windows.
#   display.sh start DIR   starts both and writes the display's number to DIR/number
#   display.sh stop DIR    stops them
set -eu
cmd=${1:?usage: display.sh start|stop DIR}
dir=${2:?usage: display.sh start|stop DIR}

stop() {
    for f in "$dir/openbox.pid" "$dir/xvfb.pid"; do
        if [ -f "$f" ]; then kill "$(cat "$f")" 2>/dev/null || true; fi
        rm -f "$f"
    done
    rm -f "$dir/number"
}

case $cmd in
start)
    mkdir -p "$dir"
    stop
    : >"$dir/number"
    # Xvfb writes the number it took to the descriptor it is given once it is ready.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/number" >"$dir/xvfb.log" 2>&1 &
    echo $! >"$dir/xvfb.pid"
    for _ in $(seq 100); do [ -s "$dir/number" ] && break; sleep 0.1; done
    [ -s "$dir/number" ] || { echo "Xvfb did not start:"; cat "$dir/xvfb.log"; exit 1; }
    number=$(tr -dc 0-9 <"$dir/number")
    DISPLAY=:$number openbox >"$dir/openbox.log" 2>&1 &
    echo $! >"$dir/openbox.pid"
    # openbox has taken over once it owns the window manager selection of screen 0.
    for _ in $(seq 100); do
        DISPLAY=:$number xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.1
    done
    echo "display :$number with openbox"
    ;;
stop) stop ;;
*) echo "usage: display.sh start|stop DIR" >&2; exit 2 ;;
esac
