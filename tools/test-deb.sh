#!/usr/bin/env bash
# Tries the Debian package as a user of a fresh Debian 12 would: lintian and
# desktop-file-validate on it, then `apt-get install ./vorna_*.deb` in a new minimal Debian 12
# root (debootstrap, in a chroot), where both programs, the manual page, the completion and a
# gallery script from /usr/share/vorna must work.
#
#   tools/test-deb.sh [BUILD_DIR]     (as root; `make deb-test` builds the package first)
#
# The freshly bootstrapped root is kept as BUILD_DIR/deb-test/bookworm-root.tar.gz and the
# packages apt fetches in BUILD_DIR/deb-test/apt-archives, so a rerun downloads nothing but the
# package lists (a run takes about a minute and a half, most of it apt unpacking Qt and its
# hundred dependencies). DEBIAN_MIRROR overrides the mirror.
set -euo pipefail

build=$(readlink -f "${1:-build}")
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$build/deb-test
root=$work/root
tarball=$work/bookworm-root.tar.gz
archives=$work/apt-archives
start=$(date +%s)

step() { printf '\n== %s\n' "$*"; }

debs=("$build"/vorna_*_amd64.deb)
[[ -f ${debs[0]} && ${#debs[@]} -eq 1 ]] || { echo "want one $build/vorna_*_amd64.deb" >&2; exit 1; }
deb=${debs[0]}
[[ $(id -u) == 0 ]] || { echo "run as root (debootstrap, chroot, mount)" >&2; exit 1; }

step "lintian $(basename "$deb")"
# Errors and warnings fail; the informational tags are printed for the record.
lintian --info --fail-on error,warning --display-level '>=info' "$deb"

step "desktop-file-validate"
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/vorna.desktop"
echo "vorna.desktop: valid"

mkdir -p "$work" "$archives"
if [[ ! -f $tarball ]]; then
    step "debootstrap bookworm (once; kept as $tarball)"
    fresh=$work/bootstrap
    rm -rf "$fresh"
    debootstrap --variant=minbase --include=man-db bookworm "$fresh" "$mirror"
    tar -C "$fresh" -czf "$tarball.part" .
    mv "$tarball.part" "$tarball"
    rm -rf "$fresh"
fi

step "fresh root from $tarball"
rm -rf "$root"
mkdir -p "$root"
tar -C "$root" -xzf "$tarball"
cp /etc/resolv.conf "$root/etc/resolv.conf"
echo "deb $mirror bookworm main" > "$root/etc/apt/sources.list"
cp "$deb" "$root/tmp/"

step "install and run in the chroot"
# A private mount namespace: /proc and the archive cache are unmounted when it ends, so
# removing the root afterwards cannot reach the cache. devpts only spares apt a complaint.
unshare --mount --fork /bin/sh -c '
    set -e
    mount -t proc proc "$1/proc"
    mount -t devpts -o newinstance devpts "$1/dev/pts"
    mount --bind "$2" "$1/var/cache/apt/archives"
    chroot "$1" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        /bin/bash -s "$3"
' sh "$root" "$archives" "$(basename "$deb")" <<'IN_ROOT'
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
# No recommended packages: the package's own dependencies must be enough.
cd /tmp
apt-get install -y -q --no-install-recommends "./$1"
check() { printf '$ %s\n' "$*"; "$@"; }
check vorna-cli --version
check vorna --version
check man -w vorna-cli
check man -w vorna
# Without a display the desktop program says so and ends with 1, not the toolkit's abort.
set +e
vorna 2> /tmp/no-display.txt
status=$?
set -e
printf '$ vorna (no display): exit %s: %s\n' "$status" "$(cat /tmp/no-display.txt)"
[[ $status == 1 && $(wc -l < /tmp/no-display.txt) == 1 ]]
# The offscreen platform needs the Qt plugins the package depends on: the window opens and
# runs until timeout ends it (124).
set +e
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=/tmp/config timeout 3 vorna
status=$?
set -e
printf '$ vorna on the offscreen platform: ran until stopped (exit %s)\n' "$status"
[[ $status == 124 ]]
out=$(mktemp -d)
cp /usr/share/vorna/gallery/spots-brusselator.vna "$out/"
check vorna-cli -q "$out/spots-brusselator.vna"
ls "$out"
ls "$out"/spots-brusselator_*.bmp > /dev/null
# The movie libraries the package depends on (H.264 through libavcodec's libx264, WebP, GIF).
check vorna-cli -q --movie-every 500 --movie "$out/m.mp4" --movie "$out/m.webp" \
    --movie "$out/m.gif" "$out/spots-brusselator.vna"
[[ -s $out/m.mp4 && -s $out/m.webp && -s $out/m.gif ]]
# Completion: an option from the program's help, and a script by its extension.
cd "$out"
touch other.txt
reply=$(bash -c 'source /usr/share/bash-completion/completions/vorna-cli
    COMP_WORDS=(vorna-cli --rou); COMP_CWORD=1; _vorna_cli; echo "${COMPREPLY[*]}"
    COMP_WORDS=(vorna-cli ""); COMP_CWORD=1; _vorna_cli; echo "${COMPREPLY[*]}"')
printf '$ completion of "--rou" and of "":\n%s\n' "$reply"
[[ $reply == $'--rounds=\nspots-brusselator.vna' ]]
# The MIME type is registered by shared-mime-info's trigger (Qt pulls that package in).
check grep -x '50:text/x-vorna:\*\.vna' /usr/share/mime/globs2
echo "all checks passed in the chroot"
IN_ROOT

rm -rf "$root"
step "passed in $(($(date +%s) - start)) s"
