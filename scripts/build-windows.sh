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
# It installs the Debian packages of scripts/install-deps.sh windows when any is missing (the
# cross compiler, its zlib, Ninja, GoogleTest's sources, NSIS, zip, patch, and Wine, Xvfb and
# xdotool for scripts/test-windows.sh), and writes nothing else outside that cache and the
# repository: Debian's source package is found through an apt configuration of its own in the cache.
#   build-windows.sh --find-qt   only says, by its exit status, whether Qt for Windows is at hand
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd -P)
out=$root/build-windows
cache=${VANTRELLE_WINDOWS_CACHE:-$HOME/.cache/vantrelle-windows}
jobs=${VANTRELLE_JOBS:-2}
toolchain=$root/cmake/mingw-w64.cmake

say() { echo "build-windows: $*"; }
fail() { echo "build-windows: $*" >&2; exit 1; }

# ---- Qt for Windows --------------------------------------------------------------------------
qt_archive_name=qt6-mingw-6.4.2.tar.xz
qt_sha256=33e52ba2ef69d7cca69e4c239d26a9a6de510f598c848c94f793b5c8055959aa
qt=$cache/qt-6.4.2/qt6-mingw
archive=
# Finds Qt for Windows: a folder that is ready (named, or unpacked into the cache before), else the
# archive to unpack. Fails when there is neither.
find_qt() {
    if [ -n "${VANTRELLE_QT_MINGW:-}" ] && [ -x "$VANTRELLE_QT_MINGW/bin/qt-cmake" ]; then
        qt=$(realpath "$VANTRELLE_QT_MINGW")
        return 0
    fi
    [ -f "$cache/qt-6.4.2/.unpacked" ] && return 0
    for candidate in "$root/../shared/windows/$qt_archive_name" \
                     "${VANTRELLE_QT_MINGW:+$VANTRELLE_QT_MINGW/$qt_archive_name}" \
                     "${VANTRELLE_QT_MINGW:-}"; do
        if [ -n "$candidate" ] && [ -f "$candidate" ]; then archive=$candidate; return 0; fi
    done
    return 1
}
if [ "${1:-}" = --find-qt ]; then find_qt; exit; fi
[ $# -eq 0 ] || fail "usage: build-windows.sh [--find-qt]"

scripts/install-deps.sh windows
mkdir -p "$out" "$cache"
find_qt || fail "Qt for Windows ($qt_archive_name) was not found in ../shared/windows.
Make it once with scripts/build-qt-mingw.sh (as root; 40-60 minutes on 2 cores):
    scripts/build-qt-mingw.sh /opt/qt6-mingw
and name it:  VANTRELLE_QT_MINGW=/opt/qt6-mingw $0"
if [ -n "$archive" ]; then
    echo "$qt_sha256  $archive" | sha256sum -c --quiet - || fail "$archive is not the expected archive"
    say "unpacking $archive"
    rm -rf "$cache/qt-6.4.2" && mkdir -p "$cache/qt-6.4.2"
    tar -xJf "$archive" -C "$cache/qt-6.4.2"
    touch "$cache/qt-6.4.2/.unpacked"
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

# ---- MariaDB Connector/C for Windows ---------------------------------------------------------
connector=$cache/connector-c
# Built again whenever the patch applied to it or the choice of what is built changes.
patch_file=$root/packaging/windows/connector-c-schannel.patch
connector_targets=(libmariadb caching_sha2_password sha256_password client_ed25519)
connector_stamp=$( (cat "$patch_file"; echo "${connector_targets[*]}") | sha256sum | cut -d' ' -f1)
if [ "$(cat "$connector/.built" 2>/dev/null)" != "$connector_stamp" ]; then
    sources=$cache/mariadb-source
    mkdir -p "$sources"
    orig=$(ls "$sources"/mariadb_*.orig.tar.gz 2>/dev/null | head -n 1 || true)
    if [ -z "$orig" ]; then
        # apt reads Debian's source index through a configuration of its own, kept in the cache:
        # the one deb-src entry, the index lists and apt's caches, so the system's apt set-up stays
        # as it was and no root is needed.
        apt=$cache/apt
        rm -rf "$apt" && mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial"
        mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)
        [ -n "$mirror" ] || mirror=$(awk '$1 == "deb" && $2 ~ /debian\/?$/ { print $2; exit }' \
                                         /etc/apt/sources.list 2>/dev/null)
        codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
        printf 'Types: deb-src\nURIs: %s\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
            "${mirror:-http://deb.debian.org/debian}" "$codename" "$codename" \
            >"$apt/sources.list.d/debian-src.sources"
        apt_options=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt/sources.list.d"
                     -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache"
                     -o APT::Sandbox::User="$(id -un)")
        say "reading Debian's source index for mariadb (apt configuration in $apt)"
        apt-get "${apt_options[@]}" update -qq || fail "could not read Debian's source index"
        # The newest version whose files the mirror still serves.
        for version in $(apt-cache "${apt_options[@]}" showsrc mariadb | sed -n 's/^Version: //p' | sort -urV); do
            (cd "$sources" && apt-get "${apt_options[@]}" source -qq --download-only "mariadb=$version" \
                >/dev/null 2>&1) && break
        done
        orig=$(ls "$sources"/mariadb_*.orig.tar.gz 2>/dev/null | head -n 1 || true)
        [ -n "$orig" ] || fail "could not download Debian's mariadb source package"
    fi
    say "building MariaDB Connector/C for Windows from $(basename "$orig")"
    rm -rf "$sources"/mariadb-*/ "$cache/connector-build" "$connector"
    # Only the client library's folder is unpacked, in one pass over the archive.
    tar -xzf "$orig" -C "$sources" --wildcards '*/libmariadb/*'
    top=$(cd "$sources" && ls -d mariadb-*/ | head -n 1)
    libmariadb=$sources/${top%/}/libmariadb
    patch -s -p1 -d "$libmariadb" <"$patch_file"
    cmake -S "$libmariadb" -B "$cache/connector-build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$connector" -DWITH_SSL=SCHANNEL -DWITH_UNIT_TESTS=OFF \
        -DCLIENT_PLUGIN_DIALOG=OFF -DWITH_CURL=OFF "${launcher[@]}" >"$cache/connector-build.log"
    # Only what the program uses: the library and the plug-ins of the authentication methods it
    # allows. Its headers are installed by their own folder's rules; the built files are copied.
    cmake --build "$cache/connector-build" -j"$jobs" --target "${connector_targets[@]}" \
        >>"$cache/connector-build.log"
    cmake -DCMAKE_INSTALL_PREFIX="$connector" -P "$cache/connector-build/include/cmake_install.cmake" \
        >>"$cache/connector-build.log"
    mkdir -p "$connector/lib/mariadb/plugin"
    cp "$cache/connector-build/libmariadb/libmariadb.dll" \
        "$cache/connector-build/libmariadb/liblibmariadb.dll.a" "$connector/lib/mariadb/"
    for plugin in "${connector_targets[@]:1}"; do
        cp "$cache/connector-build/$plugin.dll" "$connector/lib/mariadb/plugin/"
    done
    echo "$connector_stamp" >"$connector/.built"
fi

# ---- The program's window icon, drawn by the host's icon tool --------------------------------
# The tool comes from a build folder of this machine: one that holds it already, else one that holds
# the libraries it is made of (./run.sh's), else a folder of its own with that one target. Asking the
# folder's build for it keeps it current and costs nothing when it is.
icon=$out/vantrelle.ico
icon_tool=${VANTRELLE_ICON_TOOL:-}
if [ -z "$icon_tool" ]; then
    with=() without=()
    for folder in "$root"/build "$root"/build-*/ "$out/host"; do
        folder=${folder%/}
        [ -f "$folder/CMakeCache.txt" ] || continue
        grep -q '^CMAKE_TOOLCHAIN_FILE:' "$folder/CMakeCache.txt" && continue  # a cross build
        if [ -x "$folder/src/vantrelle-icons" ]; then with+=("$folder"); else without+=("$folder"); fi
    done
    for folder in "${with[@]}" "${without[@]}"; do
        if cmake --build "$folder" -j"$jobs" --target vantrelle-icons >"$out/icon-tool.log" 2>&1; then
            icon_tool=$folder/src/vantrelle-icons
            break
        fi
    done
fi
if [ -z "$icon_tool" ]; then
    say "building the icon tool for this machine"
    cmake -S "$root" -B "$out/host" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DVANTRELLE_BUILD_TESTS=OFF -DVANTRELLE_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
    cmake --build "$out/host" -j"$jobs" --target vantrelle-icons >/dev/null
    icon_tool=$out/host/src/vantrelle-icons
fi
say "icons drawn by $icon_tool"
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
# The licence page shows the terms the package declares in packaging/copyright.
awk '/^Upstream-Name:/ { sub(/^[^:]*: */, ""); print }
     /^Copyright:/ { sub(/^[^:]*: */, ""); print "Copyright " $0 }
     /^Upstream-Contact:/ { sub(/^[^:]*: */, ""); contact = $0 }
     /^License:/ { print contact; print ""; body = 1; next }
     body && /^ / { sub(/^ /, ""); print; next }
     { body = 0 }' "$root/packaging/copyright" | sed 's/$/\r/' >"$out/licence.txt"
# Windows wants four numbers in a file's version.
file_version=$(echo "$version.0.0.0" | cut -d. -f1-4)
makensis -V2 -DVERSION="$version" -DFILE_VERSION="$file_version" -DFILES="$files" -DICON="$icon" \
    -DLICENSE="$out/licence.txt" \
    -DOUTFILE="$out/vantrelle-$version-setup.exe" "$root/packaging/windows/vantrelle.nsi"
say "wrote $out/vantrelle-$version-setup.exe"
say "done in $((SECONDS / 60)) min $((SECONDS % 60)) s"
