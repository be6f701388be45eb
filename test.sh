#!/usr/bin/env bash
# Installs what is missing, builds, starts a private MariaDB server and runs every test against it,
# checks the Debian package and the Windows compile, then runs the same tests again in a build with
# the address and undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh test

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

# The Debian package installs and starts; the Windows branches of every source file still compile.
scripts/check-package.sh build
scripts/check-windows-build.sh build

if [ "${VANTRELLE_SKIP_SANITIZERS:-}" != 1 ]; then
    cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVANTRELLE_SANITIZE=ON \
        -DVANTRELLE_BUILD_BENCH=OFF >/dev/null
    cmake --build build-asan -j2
    UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir build-asan --output-on-failure -j2
fi
