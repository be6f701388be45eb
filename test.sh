#!/usr/bin/env bash
# Installs what is missing, builds, starts a private MariaDB server and runs every test against it,
# checks the Debian package, cross-builds the program for Windows and runs its tests, the program and
# its installer under Wine, then runs the Linux tests again in a build with the address and
# undefined-behaviour sanitizers.
# The Windows part needs Qt for Windows (scripts/build-windows.sh says where it looks). Without it the
# part is left out with a line saying so, except under CI=true, where that fails the run at once;
# VANTRELLE_SKIP_WINDOWS=1 leaves it out in any case.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh test

windows=yes
if [ "${VANTRELLE_SKIP_WINDOWS:-}" = 1 ]; then
    windows=
    windows_note="Windows part skipped: VANTRELLE_SKIP_WINDOWS=1."
elif ! scripts/build-windows.sh --find-qt; then
    windows=
    missing="no Qt for Windows (qt6-mingw-6.4.2.tar.xz in ../shared/windows, or VANTRELLE_QT_MINGW)"
    if [ "${CI:-}" = true ]; then
        echo "test.sh: $missing; with CI=true the Windows part must run." >&2
        echo "test.sh: make it with scripts/build-qt-mingw.sh (README, Windows)." >&2
        exit 1
    fi
    windows_note="Windows part skipped: $missing; make it with scripts/build-qt-mingw.sh to enable it (README, Windows)."
fi
[ -n "$windows" ] || echo "$windows_note"

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTRELLE_BUILD_TESTS=ON \
    -DVANTRELLE_BUILD_BENCH=ON >/dev/null
cmake --build build -j2

tmp=$(mktemp -d)
cleanup() { scripts/mariadb.sh stop "$tmp/db" || true; rm -rf "$tmp"; }
trap cleanup EXIT
eval "$(scripts/mariadb.sh start "$tmp/db")"
echo "Test server on 127.0.0.1:$VANTRELLE_TEST_PORT"

export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2

# The Debian package installs and starts.
scripts/check-package.sh build

# The Windows build, its tests under Wine against the same server, the zip's program and the
# installer.
if [ -n "$windows" ]; then
    windows_start=$(date +%s)
    scripts/build-windows.sh
    scripts/test-windows.sh
    echo "Windows build and tests: $(( ($(date +%s) - windows_start + 30) / 60 )) min"
fi

if [ "${VANTRELLE_SKIP_SANITIZERS:-}" != 1 ]; then
    cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVANTRELLE_SANITIZE=ON \
        -DVANTRELLE_BUILD_BENCH=OFF >/dev/null
    cmake --build build-asan -j2
    UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir build-asan --output-on-failure -j2
fi
[ -n "$windows" ] || echo "$windows_note"
