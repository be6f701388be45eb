#!/usr/bin/env bash
# Installs what is missing, builds, and opens the program on a private demo MariaDB server with a
# table of sample images. The program's settings live in a demo folder of their own, so a real
# stored profile is never touched.
set -euo pipefail
cd "$(dirname "$0")"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "run.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); the program needs one." >&2
    echo "        Run it from a desktop session, or under Xvfb (Debian's xvfb): xvfb-run ./run.sh" >&2
    exit 1
fi

scripts/install-deps.sh run
# A new build folder is set up for the program alone; one that exists keeps its choices (and its
# tests, when ./test.sh set it up).
if [ -f build/CMakeCache.txt ]; then
    cmake -S . -B build >/dev/null
else
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTRELLE_BUILD_TESTS=OFF \
        -DVANTRELLE_BUILD_BENCH=OFF >/dev/null
fi
cmake --build build -j"$(nproc)" --target vantrelle

demo="${XDG_DATA_HOME:-$HOME/.local/share}/vantrelle-demo"
eval "$(scripts/mariadb.sh start "$demo/server")"
scripts/demo-data.sh "$demo" "$VANTRELLE_TEST_SOCKET"

config="$demo/config"
mkdir -p "$config" "$demo/downloads"
# The settings file holds a password, so it is private from its first byte; the umask is narrowed
# for its writing alone, and the program keeps the user's own, so downloaded files get the usual
# permissions.
(
    umask 077
    cat >"$config/Kestrom.ini" <<INI
[Vantrelle]
MyServer=127.0.0.1
MyUser=$VANTRELLE_TEST_USER
MyPassword=$VANTRELLE_TEST_PASSWORD
MyDatabase=vantrelle_demo
MyPort=$VANTRELLE_TEST_PORT
Destination=$demo/downloads
INI
)
chmod 600 "$config/Kestrom.ini"

echo "Demo server: 127.0.0.1:$VANTRELLE_TEST_PORT, database vantrelle_demo. It keeps running after"
echo "the window closes, for the next ./run.sh; stop it with: scripts/mariadb.sh stop \"$demo/server\""
XDG_CONFIG_HOME="$config" exec build/vantrelle
