#!/usr/bin/env bash
# The desktop program's answers before any window: --help and --version print and end with 0
# without a display; without one, a normal start says so in one line and ends with 1.
#   vorna-command-line.sh VORNA VERSION
set -uo pipefail
vorna=$1 version=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
bare() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }

for option in --help -h; do
    out=$(bare "$vorna" "$option") || fail "$option: exit $?"
    [[ $out == "Usage: vorna [SCRIPT.vna]"* ]] || fail "$option printed: $out"
done
for option in --version -V; do
    out=$(bare "$vorna" "$option") || fail "$option: exit $?"
    [[ $out == "vorna $version" ]] || fail "$option printed: $out"
done

# No display: one line on stderr, nothing on stdout, exit 1; also when Qt is told to use a
# display plugin whose server is not there, or a script is named.
for platform in "" xcb "wayland;xcb" wayland-egl; do
    for script in "" example.vna; do
        err=$(mktemp)
        out=$(bare ${platform:+QT_QPA_PLATFORM=$platform} "$vorna" $script 2> "$err")
        status=$?
        lines=$(wc -l < "$err")
        text=$(cat "$err")
        rm -f "$err"
        [[ $status == 1 ]] || fail "platform '$platform': exit $status, not 1"
        [[ -z $out && $lines == 1 && $text == *display* ]] ||
            fail "platform '$platform': stdout '$out', stderr ($lines lines) '$text'"
    done
done
# A platform without a display server, named on the command line, opens the window (it runs
# until stopped).
bare timeout 2 "$vorna" -platform offscreen > /dev/null 2>&1
status=$?
[[ $status == 124 ]] || fail "-platform offscreen: exit $status, not still running"
# With a display (an X server of its own when xvfb-run is there) the window opens as before.
if command -v xvfb-run > /dev/null; then
    env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM xvfb-run -a timeout 2 "$vorna" > /dev/null 2>&1
    status=$?
    [[ $status == 124 ]] || fail "under Xvfb: exit $status, not still running"
fi
echo "vorna: help, version and the no-display message are right"
