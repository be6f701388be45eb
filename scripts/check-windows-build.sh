#!/usr/bin/env bash
# Compiles every source file of the program for Windows, syntax only, with the mingw-w64 cross
# compiler against the Win32 headers and Qt's headers, so a change that breaks the Windows branches
# fails here. The list of files, include folders and definitions comes from a configured build
# folder (argument, default "build"), so files added to the build are checked without naming them.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
cxx=x86_64-w64-mingw32-g++-posix
list="$build/program-sources"
for f in sources includes definitions; do
    [ -s "$list/$f.txt" ] || { echo "check-windows-build: $list/$f.txt is missing; configure $build first" >&2; exit 1; }
done
command -v "$cxx" >/dev/null || { echo "check-windows-build: $cxx is not installed" >&2; exit 1; }

root=$(pwd -P)
flags=(-std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror -DUNICODE -D_UNICODE)
while IFS= read -r dir; do
    # The host's own system headers and Qt's Linux build settings would stand in for Windows ones.
    case "$dir" in "" | /usr/include | /usr/include/ | */linux-g++*) continue ;; esac
    # The program's own headers get every warning; Qt's and Connector/C's are the libraries' own.
    case "$dir" in
        "$root"/*) flags+=(-I "$dir") ;;
        *) flags+=(-isystem "$dir") ;;
    esac
done <"$list/includes.txt"
# zlib's two headers are the same on every platform; the rest of /usr/include stays out of sight.
zlib_dir=$(mktemp -d)
trap 'rm -rf "$zlib_dir"' EXIT
ln -s /usr/include/zlib.h /usr/include/zconf.h "$zlib_dir/"
flags+=(-isystem "$zlib_dir")
while IFS= read -r def; do
    [ -n "$def" ] && flags+=("-D$def")
done <"$list/definitions.txt"

mapfile -t sources < <(grep -v '^$' "$list/sources.txt")
echo "Windows syntax check: ${#sources[@]} files with $cxx"
printf '%s\0' "${sources[@]}" | xargs -0 -n 1 -P "${VANTRELLE_JOBS:-2}" "$cxx" "${flags[@]}"
