#!/usr/bin/env bash
# Installs the Debian packages that the named purposes need, when any is missing.
#   scripts/install-deps.sh run          build the program and open it on the demo server (./run.sh)
#   scripts/install-deps.sh package      build the Debian package of the program alone
#   scripts/install-deps.sh test         build and run every test, check the package (./test.sh)
#   scripts/install-deps.sh windows      build the program for Windows and test it under Wine
#   scripts/install-deps.sh bench        build and run the benchmarks
#   scripts/install-deps.sh screenshot   draw the README's picture (scripts/screenshot.sh)
# Every purpose includes "run"; several purposes may be named at once.
set -euo pipefail

# The Windows build (the mingw-w64 compiler and zlib, Ninja, GoogleTest's sources, NSIS, zip) and its
# tests under Wine on a virtual display driven by xdotool.
windows="g++-mingw-w64-x86-64-posix libz-mingw-w64-dev ninja-build googletest nsis zip unzip patch
         wine wine64 xvfb xauth xdotool"
# What each purpose adds to "run". A new purpose is one more entry here and one more line above.
declare -A adds=(
    # The compiler, Qt and Connector/C with OpenSSL, which it encrypts with and which tells the
    # server's certificate; the demo's private server, its client and its certificate; the fonts
    # with Arial's metrics that the windows are laid out in.
    [run]="build-essential cmake pkg-config qt6-base-dev libmariadb-dev libssl-dev mariadb-server
           mariadb-client openssl fonts-liberation"
    # CPack reads the program's libraries with these to name the package's dependencies.
    [package]="dpkg-dev file"
    # GoogleTest (OpenSSL, from "run", lets its test server speak TLS); the package and its
    # checks (the program's window class read on a virtual display); the window tests that need a
    # real window system, on a private X display managed by openbox (xprop tells when it is up),
    # with libxcb's headers for the ones that send what a window manager sends; everything the
    # Windows part needs.
    [test]="libgtest-dev dpkg-dev file lintian desktop-file-utils appstream
            xvfb xauth x11-utils xdotool openbox libxcb1-dev $windows"
    [windows]="$windows"
    # The MySQLdb script that bench/transfer-bench.sh measures the download against; GoogleTest,
    # since a build folder configured as it comes holds the tests too.
    [bench]="python3-mysqldb libgtest-dev"
    # A headless X server, a way to find the window and a way to photograph it.
    [screenshot]="xvfb xauth xdotool imagemagick"
)

usage() {
    echo "usage: scripts/install-deps.sh PURPOSE...   (purposes: run package test windows bench screenshot)" >&2
    exit 2
}
[ $# -gt 0 ] || usage
packages=(${adds[run]})
for purpose in "$@"; do
    [ -n "${adds[$purpose]+set}" ] || usage
    packages+=(${adds[$purpose]})
done

missing=()
for p in $(printf '%s\n' "${packages[@]}" | sort -u); do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    sudo=()
elif command -v sudo >/dev/null 2>&1; then
    sudo=(sudo)
else
    echo "These packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
