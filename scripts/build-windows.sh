#!/usr/bin/env bash
# Builds Vantrelle for 64-bit Windows on Debian with the mingw-w64 cross compiler:
#   build-windows/build/                         the program, its tests and the benchmark (.exe)
#   build-windows/vantrelle-<version>-win64.zip  the program with everything it needs beside it
#   build-windows/vantrelle-<version>-setup.exe  the installer
# Qt for Windows comes from qt6-mingw-6.4.2.tar.xz: in ../shared/windows beside the repository when
# present, else in the folder that VANTRELLE_QT_MINGW names (the archive, or the folder it unpacks
# to). MariaDB Connector/C is built for Windows from Debian's mariadb source package, with the fix in
# packaging/windows/connector-c-schannel.patch. Both are kept under VANTRELLE_WINDOWS_CACHE (default
# ~/.cache/vantrelle-windows) and made once.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd -P)
out=$root/build-windows
cache=${VANTRELLE_WINDOWS_CACHE:-$HOME/.cache/vantrelle-windows}
jobs=${VANTRELLE_JOBS:-2}
toolchain=$root/cmake/mingw-w64.cmake
mkdir -p "$out" "$cache"

say() { echo "build-windows: $*"; }
fail() { echo "build-windows: $*" >&2; exit 1; }

# ---- Qt for Windows --------------------------------------------------------------------------
qt_archive_name=qt6-mingw-6.4.2.tar.xz
qt_sha256=33e52ba2ef69d7cca69e4c239d26a9a6de510f598c848c94f793b5c8055959aa
qt=$cache/qt-6.4.2/qt6-mingw
if [ -n "${VANTRELLE_QT_MINGW:-}" ] && [ -x "$VANTRELLE_QT_MINGW/bin/qt-cmake" ]; then
    qt=$(realpath "$VANTRELLE_QT_MINGW")
elif [ ! -f "$cache/qt-6.4.2/.unpacked" ]; then
    archive=
    for candidate in "$root/../shared/windows/$qt_archive_name" \
                     "${VANTRELLE_QT_MINGW:+$VANTRELLE_QT_MINGW/$qt_archive_name}" \
                     "${VANTRELLE_QT_MINGW:-}"; do
        if [ -n "$candidate" ] && [ -f "$candidate" ]; then archive=$candidate; break; fi
    done
    if [ -z "$archive" ]; then
        fail "Qt for Windows ($qt_archive_name) was not found in ../shared/windows.
Make it once with scripts/build-qt-mingw.sh (as root; 40-60 minutes on 2 cores):
    scripts/build-qt-mingw.sh /opt/qt6-mingw
and name it:  VANTRELLE_QT_MINGW=/opt/qt6-mingw $0"
    fi
    echo "$qt_sha256  $archive" | sha256sum -c --quiet - || fail "$archive is not the expected archive"
    say "unpacking $archive"
    rm -rf "$cache/qt-6.4.2" && mkdir -p "$cache/qt-6.4.2"
    tar -xJf "$archive" -C "$cache/qt-6.4.2"
    touch "$cache/qt-6.4.2/.unpacked"
fi

# ---- MariaDB Connector/C for Windows ---------------------------------------------------------
connector=$cache/connector-c
# Built again whenever the patch applied to it changes.
patch_file=$root/packaging/windows/connector-c-schannel.patch
connector_stamp=$(sha256sum "$patch_file" | cut -d' ' -f1)
if [ "$(cat "$connector/.built" 2>/dev/null)" != "$connector_stamp" ]; then
    sources=$cache/mariadb-source
    mkdir -p "$sources"
    orig=$(ls "$sources"/mariadb_*.orig.tar.gz 2>/dev/null | head -n 1 || true)
    if [ -z "$orig" ]; then
        if [ -z "$(apt-cache showsrc mariadb 2>/dev/null)" ]; then
            # apt-get source needs a deb-src entry for Debian's main archive.
            [ "$(id -u)" -eq 0 ] || fail "no deb-src entry for Debian's archive; add one (as root) and run again"
            mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)
            codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
            printf 'Types: deb-src\nURIs: %s\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
                "${mirror:-http://deb.debian.org/debian}" "$codename" "$codename" \
                >/etc/apt/sources.list.d/vantrelle-debian-src.sources
            apt-get update -qq
        fi
        # The newest version whose files the mirror still serves.
        for version in $(apt-cache showsrc mariadb | sed -n 's/^Version: //p' | sort -urV); do
            (cd "$sources" && apt-get source -qq --download-only "mariadb=$version" >/dev/null 2>&1) && break
        done
        orig=$(ls "$sources"/mariadb_*.orig.tar.gz 2>/dev/null | head -n 1 || true)
        [ -n "$orig" ] || fail "could not download Debian's mariadb source package"
    fi
    say "building MariaDB Connector/C for Windows from $(basename "$orig")"
    top=$(tar -tzf "$orig" | awk -F/ 'NR == 1 { print $1 }')
    rm -rf "$sources/$top" "$cache/connector-build" "$connector"
    tar -xzf "$orig" -C "$sources" "$top/libmariadb"
    patch -s -p1 -d "$sources/$top/libmariadb" <"$patch_file"
    cmake -S "$sources/$top/libmariadb" -B "$cache/connector-build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$connector" -DWITH_SSL=SCHANNEL -DWITH_UNIT_TESTS=OFF \
        -DCLIENT_PLUGIN_DIALOG=OFF -DWITH_CURL=OFF >"$cache/connector-build.log"
    cmake --build "$cache/connector-build" -j"$jobs" >>"$cache/connector-build.log"
    cmake --install "$cache/connector-build" >>"$cache/connector-build.log"
    echo "$connector_stamp" >"$connector/.built"
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

# ---- The program's window icon, drawn by the host's icon tool --------------------------------
icon=$out/vantrelle.ico
icon_tool=${VANTRELLE_ICON_TOOL:-}
if [ -z "$icon_tool" ]; then
    for candidate in "$root/build/src/vantrelle-icons" "$out/host/src/vantrelle-icons"; do
        [ -x "$candidate" ] && { icon_tool=$candidate; break; }
    done
fi
if [ -z "$icon_tool" ]; then
    say "building the icon tool for this machine"
    cmake -S "$root" -B "$out/host" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DVANTRELLE_BUILD_TESTS=OFF -DVANTRELLE_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
    cmake --build "$out/host" -j"$jobs" --target vantrelle-icons >/dev/null
    icon_tool=$out/host/src/vantrelle-icons
fi
"$icon_tool" "$out/icons" >/dev/null
cmp -s "$out/icons/vantrelle.ico" "$icon" || cp "$out/icons/vantrelle.ico" "$icon"

# ---- The program, its tests and the benchmark ------------------------------------------------
"$qt/bin/qt-cmake" -S "$root" -B "$out/build" -G Ninja -DQT_CHAINLOAD_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DMARIADB_ROOT="$connector" -DVANTRELLE_APP_ICON="$icon" \
    "${launcher[@]}" >"$out/configure.log" || { cat "$out/configure.log"; exit 1; }
cmake --build "$out/build" -j"$jobs"

# ---- The zip: the program with everything it needs in its folder -----------------------------
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/build/CMakeCache.txt")
name=vantrelle-$version-win64
stage=$out/stage/$name
rm -rf "$out/stage" && mkdir -p "$stage"
cmake --install "$out/build" --prefix "$stage" >/dev/null
for dll in Qt6Core Qt6Gui Qt6Widgets Qt6Network; do cp "$qt/bin/$dll.dll" "$stage/"; done
for plugin in platforms/qwindows styles/qwindowsvistastyle tls/qschannelbackend imageformats/qico; do
    mkdir -p "$stage/$(dirname "$plugin")"
    cp "$qt/plugins/$plugin.dll" "$stage/$plugin.dll"
done
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    found=$(x86_64-w64-mingw32-g++-posix -print-file-name="$dll")
    [ -f "$found" ] || found=/usr/x86_64-w64-mingw32/lib/$dll
    [ -f "$found" ] || fail "the mingw runtime $dll was not found"
    cp "$found" "$stage/"
done
find "$stage" -name '*.dll' -o -name '*.exe' | xargs x86_64-w64-mingw32-strip --strip-unneeded

rm -f "$out/$name.zip"
(cd "$out/stage" && zip -qr -X "$out/$name.zip" "$name")
say "wrote $out/$name.zip"

# ---- The installer ---------------------------------------------------------------------------
# Every file is named on its own, so the uninstaller removes exactly what was installed.
files=$out/installer-files.nsh
{
    echo '!macro InstallFiles'
    (cd "$stage" && find . -type d ! -name . | sort | sed 's|^\./||') | while read -r d; do
        echo "  CreateDirectory \"\$INSTDIR\\${d//\//\\}\""
    done
    (cd "$stage" && find . -type f | sort | sed 's|^\./||') | while read -r f; do
        echo "  File \"/oname=$(echo "$f" | tr / '\\')\" \"$stage/$f\""
    done
    echo '!macroend'
    echo '!macro RemoveFiles'
    (cd "$stage" && find . -type f | sort | sed 's|^\./||') | while read -r f; do
        echo "  Delete \"\$INSTDIR\\${f//\//\\}\""
    done
    (cd "$stage" && find . -type d ! -name . | sort -r | sed 's|^\./||') | while read -r d; do
        echo "  RMDir \"\$INSTDIR\\${d//\//\\}\""
    done
    echo '!macroend'
} >"$files"
makensis -V2 -DVERSION="$version" -DFILES="$files" -DICON="$icon" \
    -DOUTFILE="$out/vantrelle-$version-setup.exe" "$root/packaging/windows/vantrelle.nsi"
say "wrote $out/vantrelle-$version-setup.exe"
