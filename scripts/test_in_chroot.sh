#!/bin/sh
# Runs the test suite on another Debian release, in a chroot made with debootstrap:
# Debian 13 ("trixie", SDL 2.32) or sid (SDL2 is sdl2-compat over SDL3 there), or
# a fresh Debian 12 ("bookworm"), to see what a new machine needs.
# The chroot is kept in a cache folder outside the checkout and brought up to date
# on each run; the checkout is copied in under a folder whose name has spaces,
# quotes, '$', '&', '%', brackets and non-ASCII letters, and the command (by
# default the Quick start's test command) runs there. LESSONS_SOURCES, a folder of
# upstream release archives for building offline, is copied in too, and named
# by the same variable there. Needs root.
# Usage: test_in_chroot.sh bookworm|trixie|sid [command...]   (default: sh scripts/test.sh)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/common.sh
. "$root/scripts/lib/common.sh"
case ${1-} in
-h | --help) usage; exit 0 ;;
bookworm | trixie | sid) ;;
"") refuse "it needs a Debian release: bookworm, trixie or sid" ;;
-*) refuse "unknown option '$1'" ;;
*) refuse "unknown release '$1' (bookworm, trixie or sid)" ;;
esac
target=$1
shift
[ "$#" -gt 0 ] || set -- sh scripts/test.sh
if [ "$(id -u)" -ne 0 ]; then
    echo "test_in_chroot: run as root (debootstrap and chroot need it)" >&2
    exit 1
fi

"$root/scripts/lib/install_deps.sh" --for chroot
cache=$(cache_dir)
dir="$cache/chroot/$target"

mirror=$(debian_mirror)

# Undoes every mount under the chroot, also those a killed earlier run left, so
# that removing the chroot or its copy of the checkout never reaches the host's /dev.
mounts_under_chroot() {
    awk -v root="$dir/" '{ gsub(/\\040/, " ", $2) } index($2, root) == 1 { print $2 }' \
        /proc/self/mounts | sort -r
}
unmount_all() {
    mounts_under_chroot | while IFS= read -r point; do
        umount -l "$point" 2>/dev/null || true
    done
    if [ -n "$(mounts_under_chroot)" ]; then
        echo "test_in_chroot: cannot unmount what is mounted under $dir:" >&2
        mounts_under_chroot >&2
        exit 1
    fi
}
cleanup() {
    unmount_all
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

in_chroot() { # <command...>: as root, with a clean environment
    chroot "$dir" /usr/bin/env -i HOME=/root LANG=C.UTF-8 CI="${CI:-}" \
        ${LESSONS_SOURCES:+LESSONS_SOURCES=/sources} ${host_ca:+NODE_EXTRA_CA_CERTS=$host_ca} \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}

unmount_all
if [ ! -f "$dir/.complete" ]; then
    echo "== Debian $target: making a chroot in $dir (a few minutes; once)"
    rm -rf "$dir"
    mkdir -p "$dir"
    if ! debootstrap --variant=minbase "$target" "$dir" "$mirror" >"$cache/debootstrap-$target.log" 2>&1; then
        tail -n 30 "$cache/debootstrap-$target.log" >&2
        echo "test_in_chroot: debootstrap failed; its log is $cache/debootstrap-$target.log" >&2
        exit 1
    fi
    # sid's index may be older than its validity date on a mirror that lags; allow
    # that here only, never on the machine itself.
    echo 'Acquire::Check-Valid-Until "false";' >"$dir/etc/apt/apt.conf.d/99sdl-lessons"
    touch "$dir/.complete"
fi

for point in proc sys dev dev/pts; do
    mkdir -p "$dir/$point"
done
mount -t proc proc "$dir/proc"
mount --bind /sys "$dir/sys"
mount --bind /dev "$dir/dev"
mount --bind /dev/pts "$dir/dev/pts"
mkdir -p "$dir/dev/shm"
mount -t tmpfs shm "$dir/dev/shm"
cp /etc/resolv.conf "$dir/etc/resolv.conf" 2>/dev/null || true
# A network that reaches npm's registry only through a proxy with its own
# certificate names that certificate to Node.js here; npm in the chroot needs it too.
host_ca=""
if [ -r "${NODE_EXTRA_CA_CERTS:-}" ]; then
    host_ca=/etc/ssl/host-extra-ca.crt
    mkdir -p "$dir/etc/ssl"
    cp "$NODE_EXTRA_CA_CERTS" "$dir$host_ca"
fi

echo "== Debian $target: bringing the chroot up to date"
log="$dir/tmp/upgrade.log"
if ! in_chroot sh -c 'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get upgrade -y -qq' \
        >"$log" 2>&1; then
    cat "$log" >&2
    echo "test_in_chroot: apt-get upgrade failed in the $target chroot" >&2
    exit 1
fi

work="/home/new user/$odd_folder"
rm -rf "$dir/home/new user"
copy_project "$dir$work"

rm -rf "$dir/sources"
if [ -n "${LESSONS_SOURCES:-}" ]; then
    cp -R "$LESSONS_SOURCES" "$dir/sources"
fi

# shellcheck disable=SC2016 # ${Version} is dpkg-query's, not the shell's
echo "== Debian $target ($(in_chroot dpkg-query -W -f='SDL2 package ${Version}' libsdl2-dev 2>/dev/null ||
    echo 'SDL2 not yet installed')): $* in '$work'"
# shellcheck disable=SC2016 # $1 and $@ are the inner shell's
in_chroot sh -c 'cd "$1" && shift && exec "$@"' sh "$work" "$@"
