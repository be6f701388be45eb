#!/usr/bin/env bash
# Makes the Qt for Windows that scripts/build-windows.sh builds against (qt6-mingw-6.4.2): Qt 6.4.2's
# base modules (Core, Gui, Widgets, Network with Schannel TLS, Test; the windows and offscreen
# platform plugins), cross-built for 64-bit Windows with Debian's mingw-w64 g++ 12 (posix threads)
# from Debian's own qt6-base source package, with Debian's host Qt tools (moc, rcc, uic of the same
# version). Roughly 40-60 minutes on 2 cores. Then: VANTRELLE_QT_MINGW=OUT_PREFIX scripts/build-windows.sh
#   build-qt-mingw.sh OUT_PREFIX [WORK_DIR]
# Needs: root (apt), a deb-src entry for Debian's main archive (added here if missing).
set -euo pipefail
# The same toolchain file that the program's own Windows build uses.
toolchain=$(realpath "$(dirname "$0")/../cmake/mingw-w64.cmake")
prefix=$(realpath -m "${1:?usage: build-qt-mingw.sh OUT_PREFIX [WORK_DIR]}")
work=$(realpath -m "${2:-/tmp/qt-mingw-work}")
mkdir -p "$work"; cd "$work"

apt-get install -y -qq g++-mingw-w64-x86-64-posix qt6-base-dev qt6-base-dev-tools cmake ninja-build >/dev/null
if ! apt-cache showsrc qt6-base >/dev/null 2>&1 || [ -z "$(apt-cache showsrc qt6-base 2>/dev/null)" ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >/etc/apt/sources.list.d/debian-src.sources
    apt-get update -qq
fi
[ -d qtbase-everywhere-src-6.4.2 ] || { apt-get source -d qt6-base >/dev/null; tar xf qt6-base_6.4.2+dfsg.orig.tar.xz; }
src=$work/qtbase-everywhere-src-6.4.2

# Debian's source leaves out the Wintab header (graphics tablets); build the Windows platform plugin
# without Wintab tablet support.
win=$src/src/plugins/platforms/windows
sed -i 's/#if QT_CONFIG(tabletevent)/#if 0 \/* no wintab.h in this source *\//' "$win/qwindowscontext.cpp"
perl -0pi -e 's/#if QT_CONFIG\(tabletevent\)\n#  include "qwindowstabletsupport.h"\n#endif\n//' "$win/qwindowspointerhandler.cpp"
# Without OpenGL the plugin must not reach for the dynamic OpenGL loader either.
sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' "$win/qwindowswindow.cpp"
# Qt Gui builds the DirectWrite font database only together with Direct2D, which is left out here.
sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' "$win/qwindowsintegration.cpp"
sed -i 's/^qt_internal_extend_target(QWindowsIntegrationPlugin CONDITION QT_FEATURE_tabletevent$/qt_internal_extend_target(QWindowsIntegrationPlugin CONDITION QT_FEATURE_tabletevent AND EXISTS ${QtBase_SOURCE_DIR}\/src\/3rdparty\/wintab\/wintab.h/' "$win/CMakeLists.txt"

mkdir -p build && cd build
cmake -G Ninja "$src" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_opengl=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_direct2d=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_system_doubleconversion=OFF -DINPUT_openssl=no -DFEATURE_schannel=ON -DFEATURE_testlib=ON
ninja -j"${JOBS:-2}"
cmake --install .
find "$prefix" -name '*.dll' -print0 | xargs -0 x86_64-w64-mingw32-strip --strip-unneeded
echo "Qt for mingw-w64 installed in $prefix"
