#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the package checks, the demo and the benchmarks
# need, when any is missing. python3-mysqldb runs the script that bench/transfer-bench.sh measures
# the download against. The Windows build needs the mingw-w64 compiler, Ninja, GoogleTest's sources
# and NSIS; its tests run under Wine on a virtual display driven by xdotool.
set -euo pipefail

packages=(build-essential cmake pkg-config qt6-base-dev libmariadb-dev libgtest-dev
          mariadb-server mariadb-client openssl fonts-liberation xvfb xauth python3-mysqldb
          dpkg-dev file lintian desktop-file-utils appstream g++-mingw-w64-x86-64-posix
          ninja-build googletest nsis zip unzip wine wine64 xdotool)
missing=()
for p in "${packages[@]}"; do
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
