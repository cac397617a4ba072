#!/bin/sh
# Screenshots of the desktop program in French under a virtual X server: the question about
# unsaved edits, the open dialog, and the Texture menu. Needs Xvfb, xdotool and ImageMagick.
#
#   tools/desktop_screenshots.sh [BUILD_DIR] [DISPLAY_NUMBER]
#
# The program is copied into a scratch folder with a French settings file, so the build's own
# settings stay as they are; the PNG files go to BUILD_DIR/test-artifacts/.
set -eu
build=$(cd "${1:-build}" && pwd)
display=":${2:-91}"
out="$build/test-artifacts"
work=$(mktemp -d)
mkdir -p "$out"
cp "$build/vorna" "$work/"
for t in exemple.tpl new.tpl; do [ -f "$build/$t" ] && cp "$build/$t" "$work/"; done
printf '[Locale]\nlanguage=french\n' >"$work/vorna.ini"
printf 'model brusselator\nsize 64 64\niterations 100\ncolormap gray\n' >"$work/spots.vna"

Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
vorna=""
cleanup() {
    [ -n "$vorna" ] && kill "$vorna" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY="$display"
sleep 1
(cd "$work" && exec ./vorna spots.vna) &
vorna=$!

window=""
for _ in $(seq 50); do
    window=$(xdotool search --onlyvisible --name "Vorna spots.vna" 2>/dev/null | head -1) || true
    [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || { echo "the window did not appear" >&2; exit 1; }
shot() { sleep 0.8; import -window root "$out/$1"; echo "$out/$1"; }

xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
sleep 0.5
# An edit, then Ctrl+O: the question about the unsaved edits.
xdotool type --delay 50 "// essai"
shot desktop-fr-modified.png
xdotool key ctrl+o
shot desktop-fr-unsaved-question.png
# Ne pas enregistrer (the middle button): the open dialog.
xdotool key Tab Return
shot desktop-fr-open-dialog.png
xdotool key Escape
sleep 0.5
# The Texture menu with its keys and check marks (opened with the mouse: without a window
# manager the window may not be active for its access keys).
xdotool mousemove --window "$window" 170 8 click 1
shot desktop-fr-texture-menu.png
# Its access key T: the colour map stays shown after the key is released, until the next key.
xdotool key t
shot desktop-fr-colormap-test.png
xdotool key space
shot desktop-fr-colormap-ended.png
