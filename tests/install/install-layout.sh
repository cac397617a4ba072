#!/usr/bin/env bash
# `cmake --install` into a fresh prefix: every file in its place, and the installed programs
# run from there (vorna-cli on a gallery script of share/vorna, vorna's --version, and vorna
# started on the offscreen platform).
#   install-layout.sh CMAKE BUILD_DIR VERSION WITH_GUI(0|1)
set -euo pipefail
cmake=$1 build=$2 version=$3 gui=$4
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$prefix/usr" > /dev/null

want=(bin/vorna-cli share/vorna/exemple.tpl share/vorna/new.tpl
      share/vorna/gallery/spots-brusselator.vna share/vorna/formulas/gray-scott-star-map.vna
      share/vorna/formulas/star.png share/man/man1/vorna-cli.1.gz
      share/man/man5/vorna.5.gz
      share/bash-completion/completions/vorna-cli share/doc/vorna/copyright
      share/doc/vorna/changelog.Debian.gz)
if [[ $gui == 1 ]]; then
    want+=(bin/vorna share/man/man1/vorna.1.gz share/applications/vorna.desktop
           share/mime/packages/vorna.xml share/icons/hicolor/scalable/apps/vorna.svg
           share/icons/hicolor/48x48/apps/vorna.png share/icons/hicolor/128x128/apps/vorna.png)
fi
for f in "${want[@]}"; do
    [[ -f $prefix/usr/$f ]] || fail "missing $f"
done
# Nothing that belongs to the build tree: no templates or settings beside the programs.
[[ -z $(ls "$prefix/usr/bin" | grep -v '^vorna\(-cli\)\?$') ]] || fail "stray files in bin/"
# The manual pages are compressed roff that names its program.
gzip -dc "$prefix/usr/share/man/man1/vorna-cli.1.gz" | grep -q '^\.TH VORNA-CLI "1"' ||
    fail "vorna-cli.1.gz is not its manual page"
gzip -dc "$prefix/usr/share/man/man1/vorna-cli.1.gz" | grep -q 'list\\-models' ||
    fail "vorna-cli.1.gz misses an option of --help"
# The script format's page holds the README's sections, the equations among them.
gzip -dc "$prefix/usr/share/man/man5/vorna.5.gz" | grep -q '^\.TH VORNA 5' ||
    fail "vorna.5.gz is not the script format's page"
for section in 'MODEL PARAMETERS' 'MODEL EQUATIONS' 'COLOUR MAPS' 'THE IMAGE LINE'; do
    gzip -dc "$prefix/usr/share/man/man5/vorna.5.gz" | grep -q "^\.SH $section" ||
        fail "vorna.5.gz misses $section"
done

[[ $("$prefix/usr/bin/vorna-cli" --version) == "vorna-cli $version" ]] || fail "vorna-cli --version"
work=$(mktemp -d -p "$prefix")
cp "$prefix/usr/share/vorna/gallery/clouds-diffusion.vna" "$work/"
"$prefix/usr/bin/vorna-cli" -q "$work/clouds-diffusion.vna" > /dev/null || fail "gallery run"
ls "$work"/clouds-diffusion_*.bmp > /dev/null 2>&1 || fail "no image from the gallery script"
# A script that reads a picture, copied with it; shortened, so that it takes a moment.
cp "$prefix/usr/share/vorna/formulas/star.png" "$work/"
sed 's/^iterations .*/iterations 20/; s/t+10000/t+20/; s/^size .*/size 40 40/' \
    "$prefix/usr/share/vorna/formulas/gray-scott-star-map.vna" > "$work/star.vna"
"$prefix/usr/bin/vorna-cli" -q "$work/star.vna" > /dev/null || fail "picture script run"
ls "$work"/star_B*.bmp > /dev/null 2>&1 || fail "no image from the picture script"

if [[ $gui == 1 ]]; then
    [[ $(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/usr/bin/vorna" --version) == "vorna $version" ]] ||
        fail "vorna --version"
    # Started offscreen from the installation, it runs until stopped.
    set +e
    XDG_CONFIG_HOME=$prefix/config QT_QPA_PLATFORM=offscreen timeout 2 "$prefix/usr/bin/vorna" \
        > /dev/null 2>&1
    status=$?
    set -e
    [[ $status == 124 ]] || fail "installed vorna stopped on the offscreen platform ($status)"
fi
echo "install layout: ${#want[@]} files in place, installed programs run"
