#!/usr/bin/env bash
# Builds the Debian package from a configured build folder (argument, default "build"), checks it
# with lintian and the desktop validators, unpacks it, and starts the unpacked program on a virtual X
# display with an empty settings folder: its window's class must be the menu entry's StartupWMClass,
# and it must keep running and write the login window's first keys.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
fail() { echo "check-package: $*" >&2; exit 1; }

cmake --build "$build" --target package >"$build/package.log" 2>&1 ||
    { cat "$build/package.log" >&2; fail "the package did not build"; }
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb="$build/vantrelle_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "$deb was not written"
echo "Package: $deb"

tmp=$(mktemp -d)
pid=
xvfb_pid=
cleanup() {
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$tmp"
}
trap cleanup EXIT
root="$tmp/root"
dpkg-deb -x "$deb" "$root"

# The layout the program relies on: its files beside the real executable, the command a link.
[ -x "$root/usr/lib/vantrelle/vantrelle" ] || fail "usr/lib/vantrelle/vantrelle is missing"
[ "$(readlink "$root/usr/bin/vantrelle")" = ../lib/vantrelle/vantrelle ] ||
    fail "usr/bin/vantrelle is not the relative link ../lib/vantrelle/vantrelle"
for f in HAND-M.CUR drag.ico; do
    [ -f "$root/usr/lib/vantrelle/$f" ] || fail "usr/lib/vantrelle/$f is missing"
done

desktop-file-validate "$root"/usr/share/applications/*.desktop
# The menu entry's icon exists in the theme, as a scalable file and at the sizes menus ask for.
icon=$(sed -n 's/^Icon=//p' "$root"/usr/share/applications/*.desktop)
for f in scalable/apps/$icon.svg 16x16/apps/$icon.png 48x48/apps/$icon.png 256x256/apps/$icon.png; do
    [ -s "$root/usr/share/icons/hicolor/$f" ] || fail "the menu icon usr/share/icons/hicolor/$f is missing"
done
# Icon themes look only in their size folders; a file anywhere else is never found.
stray=$(cd "$root/usr/share/icons/hicolor" &&
        find . -type f | grep -Ev '^\./([0-9]+x[0-9]+|scalable)/apps/[^/]+$' || true)
[ -z "$stray" ] || fail "icon files outside the theme's size folders: $stray"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
lintian --fail-on error "$deb"

# Started through the link, as the menu and the shell start it, on a virtual X display.
# Xvfb picks a free display number itself and writes it once it accepts connections.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { cat "$tmp/xvfb.log" >&2; fail "the virtual display did not start"; }
export DISPLAY=:$(cat "$tmp/display")
mkdir "$tmp/config"
XDG_CONFIG_HOME="$tmp/config" QT_QPA_PLATFORM=xcb "$root/usr/bin/vantrelle" >"$tmp/output.log" 2>&1 &
pid=$!
window=
for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { cat "$tmp/output.log" >&2; fail "the unpacked program showed no window"; }
# A dock matches a window to its menu entry by the window's class (WM_CLASS, its second part).
class=$(xprop -id "$window" WM_CLASS | sed -n 's/^WM_CLASS(STRING) = ".*", "\(.*\)"$/\1/p')
wm_class=$(sed -n 's/^StartupWMClass=//p' "$root"/usr/share/applications/*.desktop)
[ -n "$class" ] && [ "$class" = "$wm_class" ] ||
    fail "the window's class \"$class\" is not the menu entry's StartupWMClass \"$wm_class\""
echo "The window's class is the menu entry's StartupWMClass, \"$class\"."
sleep 2
if ! kill -0 "$pid" 2>/dev/null; then
    cat "$tmp/output.log" >&2
    pid=
    fail "the unpacked program ended within 2 seconds of showing its window"
fi
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=

settings="$tmp/config/Kestrom.ini"
[ -f "$settings" ] || fail "the program wrote no settings file"
for line in '[Vantrelle]' 'MyServer=localhost' 'MyPort=3306'; do
    grep -qxF "$line" "$settings" || { cat "$settings" >&2; fail "the settings file lacks $line"; }
done
[ "$(stat -c %a "$settings")" = 600 ] || fail "the settings file is readable by others"
echo "The unpacked program started and wrote its first settings."
