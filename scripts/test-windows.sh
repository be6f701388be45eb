#!/usr/bin/env bash
# Runs the Windows build (scripts/build-windows.sh) under Wine, each program in a fresh Wine
# prefix, with Arial's metrics and at the display resolution in VANTRELLE_WINE_DPI (below): the unit tests; the database tests against the server in VANTRELLE_TEST_HOST/_PORT/_USER/
# _PASSWORD (scripts/mariadb.sh), over TCP with TLS, at 127.0.0.1 and at "localhost"; the window
# tests on the offscreen platform. Then the program from the zip starts on a virtual X display, and
# its login window and its first-start settings in the registry are checked; the installer installs
# and uninstalls it silently, and once more page by page, as a user would. Wine's own output goes to logs, shown when a step fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd -P)
out=$root/build-windows
build=$out/build
qt=${VANTRELLE_QT_MINGW_PREFIX:-${VANTRELLE_WINDOWS_CACHE:-$HOME/.cache/vantrelle-windows}/qt-6.4.2/qt6-mingw}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
zip=$out/vantrelle-$version-win64.zip
setup=$out/vantrelle-$version-setup.exe
for f in "$build/tests/unit_tests.exe" "$zip" "$setup"; do
    [ -f "$f" ] || { echo "test-windows: $f is missing; run scripts/build-windows.sh" >&2; exit 1; }
done
: "${VANTRELLE_TEST_HOST:?test-windows needs the test server (scripts/mariadb.sh start)}"

work=$(mktemp -d)
prefixes=()
cleanup() {
    for p in "${prefixes[@]}"; do WINEPREFIX=$p wineserver -k 2>/dev/null || true; done
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

export WINEDEBUG=-all
# No Mono or Gecko installer prompts in a new prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
windows_path() { echo "Z:${1//\//\\}"; }

# What every prefix holds besides Wine's own. Windows has Arial and Wine has not: Liberation Sans
# (fonts-liberation), which has Arial's metrics, stands in under Arial's name, so that the windows
# are laid out in the font they are laid out in on Windows. The display's resolution is the one
# Windows' display scaling sets: VANTRELLE_WINE_DPI dots per inch, 96 (100 %) unless given; 120,
# 144 and 192 are 125, 150 and 200 %.
dpi=${VANTRELLE_WINE_DPI:-96}
[[ $dpi =~ ^[0-9]+$ ]] && [ "$dpi" -ge 96 ] || { echo "test-windows: VANTRELLE_WINE_DPI=$dpi is not a resolution" >&2; exit 1; }
cat >"$work/prefix.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Arial"="Liberation Sans"

[HKEY_CURRENT_USER\Control Panel\Desktop]
"LogPixels"=dword:$(printf %08x "$dpi")
REG

# new_prefix NAME: a fresh prefix in $prefix, made at once so that its set-up is not counted
# against the program run in it.
new_prefix() {
    prefix=$work/prefix-$1
    prefixes+=("$prefix")
    WINEPREFIX=$prefix wineboot -i >"$work/$1-boot.log" 2>&1
    WINEPREFIX=$prefix wine regedit /S "$(windows_path "$work/prefix.reg")" >>"$work/$1-boot.log" 2>&1
}

failures=0
# run NAME COMMAND...: runs a Windows program in a fresh prefix, its output in a log.
run() {
    local name=$1 start
    shift
    new_prefix "$name"
    start=$(date +%s)
    # Passed: the program says so at its end (a crash under Wine may still end with status 0),
    # and nothing was skipped, since every test has what it needs here.
    # A crash must end the program, not wait in Wine's debugger; a program that hangs is stopped.
    if WINEPREFIX=$prefix WINEDLLOVERRIDES="winedbg.exe=d" timeout 900 "$@" >"$work/$name.log" 2>&1 &&
        grep -q '^\[  PASSED  \]' "$work/$name.log" &&
        ! grep -q '^\[  \(SKIPPED\|FAILED \) \]' "$work/$name.log"; then
        echo "  $name: $(grep -c '^\[       OK \]' "$work/$name.log") tests passed ($(($(date +%s) - start)) s)"
        WINEPREFIX=$prefix wineserver -w
    else
        echo "  $name: FAILED; its output:"
        sed 's/^/    /' "$work/$name.log"
        failures=$((failures + 1))
    fi
}

# The tests find Qt's and the compiler's runtime DLLs through the search path (the client library's
# lie beside them), Qt's platform plugins through QT_PLUGIN_PATH.
gcc_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
export WINEPATH="$(windows_path "$qt/bin");$(windows_path "$gcc_runtime");$(windows_path /usr/x86_64-w64-mingw32/lib)"
export QT_PLUGIN_PATH=$(windows_path "$qt/plugins")
export QT_QPA_PLATFORM=offscreen

echo "Windows tests under $(wine --version)"
run unit wine "$build/tests/unit_tests.exe"
for host in 127.0.0.1 localhost; do
    VANTRELLE_TEST_HOST=$host run "db-$host" wine "$build/tests/db_tests.exe"
done
# Without a display, Wine delivers neither the close events nor the paints that Qt's offscreen
# windows ask for; those tests, and the others that need a real window system (their suites'
# names end in "OnDisplay"), run below, on the virtual display.
on_display="*OnDisplay.*"
# The ones whose suites' names end in "AtScale" check what Linux's offscreen platform draws at 150%;
# under Wine the scale is the display's resolution, checked with the program below
# (VANTRELLE_WINE_DPI).
at_scale="*AtScale.*"
run gui wine "$build/tests/gui_tests.exe" --gtest_filter="-$on_display:$at_scale"

# The program from the zip, unpacked into a folder of its own, on a virtual X display.
unzip -q "$zip" -d "$work/unzipped"
program=$(ls -d "$work"/unzipped/vantrelle-*/)
display=$((90 + RANDOM % 400))
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=:$display
for _ in $(seq 100); do [ -S "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

run gui-on-display wine "$build/tests/gui_tests.exe" --gtest_filter="$on_display"
unset WINEPATH QT_PLUGIN_PATH QT_QPA_PLATFORM

# The login window's client area is 8040 x 3690 twips: 536 x 246 pixels at 96 dots per inch, and
# in proportion at any other resolution.
want_size=$((536 * dpi / 96))x$((246 * dpi / 96))
key='HKEY_CURRENT_USER\Software\VB and VBA Program Settings\Kestrom\Vantrelle'
# visible_window NAME_PATTERN: waits up to 30 s for a visible window of that name and prints it.
visible_window() {
    local w
    for _ in $(seq 150); do
        w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
        [ -n "$w" ] && { echo "$w"; return 0; }
        sleep 0.2
    done
    return 1
}
program_run() {
    local pid window= geometry
    new_prefix program
    WINEPREFIX=$prefix wine "$program/vantrelle.exe" >"$work/program-run.log" 2>&1 &
    pid=$!
    window=$(visible_window '^Vantrelle') || { echo "the login window did not open"; return 1; }
    # The load has written the first-start values once the window shows; a moment for the rest.
    sleep 2
    geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: *//p')
    echo "login window \"$(xdotool getwindowname "$window")\", $geometry"
    if [ -n "${VANTRELLE_SCREENSHOT:-}" ]; then import -window root "$VANTRELLE_SCREENSHOT"; fi
    WINEPREFIX=$prefix wine reg query "$key" | tr -d '\r' >"$work/registry.txt" || return 1
    kill "$pid" 2>/dev/null || true
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    cat "$work/registry.txt"
    # Exactly the two login values that a first start writes, as text.
    sed -n 's/^ *\([A-Za-z]*\) *\(REG_[A-Z_]*\) *\(.*\)$/\1 \2 \3/p' "$work/registry.txt" \
        | sort | diff -u <(printf 'MyPort REG_SZ 3306\nMyServer REG_SZ localhost\n') - || return 1
    [ "$geometry" = "$want_size" ] || { echo "the login window is $geometry, not $want_size"; return 1; }
}
# step NAME FUNCTION: runs a check, its output in a log. Inside it, every check returns on failure
# itself, since a function run as a condition does not stop at a failing command.
step() {
    local name=$1 start
    shift
    start=$(date +%s)
    if "$@" >"$work/$name.log" 2>&1; then
        echo "  $name: passed ($(($(date +%s) - start)) s)"
    else
        echo "  $name: FAILED; its output:"
        sed 's/^/    /' "$work/$name.log"
        failures=$((failures + 1))
    fi
}
step program program_run

# The installer: a silent install puts the program into Program Files with its Start-menu entry
# and uninstaller; a silent uninstall, started as "Apps & features" starts it, takes away everything
# it put there, and the copy of itself that it runs from leaves nothing behind after the next start
# of Windows (a Wine restart).
installer_run() {
    local folder menu temps temp left
    new_prefix installer
    WINEPREFIX=$prefix wine "$setup" /S || return 1
    WINEPREFIX=$prefix wineserver -w
    folder=$prefix/drive_c/Program\ Files/Vantrelle
    menu=$prefix/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Vantrelle.lnk
    (cd "$program" && find . -type f | sort) >"$work/zip-files.txt"
    (cd "$folder" && find . -type f ! -name uninstall.exe | sort) | diff -u "$work/zip-files.txt" - ||
        return 1
    [ -f "$folder/uninstall.exe" ] || { echo "no uninstaller"; return 1; }
    [ -f "$menu" ] || { echo "no Start-menu entry"; return 1; }
    WINEPREFIX=$prefix wine "$folder/uninstall.exe" /S || return 1
    # The uninstaller hands over to its copy and returns; the copy is waited for with the prefix.
    WINEPREFIX=$prefix wineserver -w
    if [ -e "$folder" ]; then
        echo "left behind:"
        find "$folder"
        return 1
    fi
    [ ! -e "$menu" ] || { echo "the Start-menu entry was left behind"; return 1; }
    ! WINEPREFIX=$prefix wine reg query "$uninstall_key" >/dev/null 2>&1 ||
        { echo "the uninstall entry was left behind"; return 1; }
    temps=("$prefix"/drive_c/users/*/Temp "$prefix/drive_c/windows/temp")
    temp=$(find "${temps[@]}" -name '~nsu*.tmp' | head -n 1)
    echo "the uninstaller ran from ${temp:-nowhere in a temporary folder}"
    WINEPREFIX=$prefix wineboot -r >"$work/installer-restart.log" 2>&1
    WINEPREFIX=$prefix wineserver -w
    left=$(find "${temps[@]}" -mindepth 1)
    [ -z "$left" ] || { echo "left in the temporary folder after a restart:"; echo "$left"; return 1; }
}
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantrelle'
step installer installer_run

# The installer as a user sees it, on the virtual display: each page answered with its default
# button (Return). The installation must start with the third page's button (welcome, licence,
# folder); the installation page and then the finish page must stay until they are answered, the
# finish page's "Run Vantrelle" ticked, which then starts the program. VANTRELLE_INSTALLER_SHOTS=<folder> keeps a picture of every page.
setup_window() { visible_window "^Vantrelle $version Setup"; }
# answer PAGE: pictures the page once it is drawn, then presses its default button.
answer() {
    local window
    window=$(setup_window) || { echo "no installer window on the $1 page"; return 1; }
    sleep 2
    if [ -n "${VANTRELLE_INSTALLER_SHOTS:-}" ]; then
        import -window "$window" "$VANTRELLE_INSTALLER_SHOTS/installer-$1.png"
    fi
    xdotool windowfocus --sync "$window" key Return
}
installer_pages() {
    local folder page window size
    new_prefix installer-pages
    folder=$prefix/drive_c/Program\ Files/Vantrelle
    WINEPREFIX=$prefix wine "$setup" >"$work/installer-pages-wine.log" 2>&1 &
    for page in welcome licence; do
        answer "$page" || return 1
        sleep 2
        [ ! -e "$folder" ] || { echo "the installation started on the $page page"; return 1; }
    done
    answer folder || return 1
    for _ in $(seq 300); do [ -f "$folder/uninstall.exe" ] && break; sleep 0.2; done
    [ -f "$folder/uninstall.exe" ] || { echo "the folder page's button did not install"; return 1; }
    answer install || return 1
    sleep 2
    xdotool search --onlyvisible --name '^Vantrelle$' >/dev/null 2>&1 &&
        { echo "the program started before the finish page was answered"; return 1; }
    answer finish || return 1
    window=$(visible_window '^Vantrelle$') ||
        { echo "\"Run Vantrelle\" did not start the program"; return 1; }
    sleep 2
    if [ -n "${VANTRELLE_INSTALLER_SHOTS:-}" ]; then
        import -window "$window" "$VANTRELLE_INSTALLER_SHOTS/installer-started.png"
    fi
    # The entry under "Apps & features": the program's icon, version, publisher and size.
    WINEPREFIX=$prefix wine reg query "$uninstall_key" | tr -d '\r' >"$work/uninstall-entry.txt" ||
        return 1
    cat "$work/uninstall-entry.txt"
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    value() { sed -n "s/^ *$1 *REG_[A-Z_]* *//p" "$work/uninstall-entry.txt"; }
    [ "$(value DisplayName)" = Vantrelle ] || { echo "DisplayName is wrong"; return 1; }
    [ "$(value DisplayVersion)" = "$version" ] || { echo "DisplayVersion is wrong"; return 1; }
    [ "$(value Publisher)" = Kestrom ] || { echo "Publisher is wrong"; return 1; }
    [ "$(value DisplayIcon)" = 'C:\Program Files\Vantrelle\vantrelle.exe,0' ] ||
        { echo "DisplayIcon is wrong"; return 1; }
    # The size in KiB of what is in the folder, within the rounding of its files.
    size=$(du -sk --apparent-size "$folder" | cut -f1)
    [ $(($(value EstimatedSize))) -ge $((size * 95 / 100)) ] &&
        [ $(($(value EstimatedSize))) -le $((size * 105 / 100)) ] ||
        { echo "EstimatedSize is not the folder's $size KiB"; return 1; }
}
step installer-pages installer_pages

[ "$failures" -eq 0 ] || { echo "test-windows: $failures step(s) failed" >&2; exit 1; }
