#!/bin/sh
# Runs a command with WAYLAND_DISPLAY set to a Weston compositor of its own, then
# stops it. Exits with the command's status. Weston 12 and newer run headless,
# drawing with pixman; Weston 10 and 11 (Debian 12) run on their X11 backend
# inside a virtual X server, because their headless backend offers no seat and
# SDL 2.26 crashes without one. Weston runs with --debug so that
# weston-screenshooter may take screenshots. However it ends (also on Ctrl+C or
# when killed, as by a CI timeout), Weston is stopped and its folder removed.
# Usage: with_weston.sh <command> [args...]
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=common.sh
. "$root/scripts/lib/common.sh"
case ${1-} in -h | --help) usage; exit 0 ;; "" | -*) refuse "it needs a command to run" ;; esac

major=$(weston --version 2>/dev/null | sed -n 's/^weston \([0-9]*\).*/\1/p')
if [ -z "$major" ]; then
    echo "with_weston: Weston is not installed (Debian package weston)" >&2
    exit 1
fi
if [ "$major" -ge 12 ]; then
    set -- --backend=headless --renderer=pixman -- "$@"
elif [ -n "${DISPLAY:-}" ]; then
    set -- --backend=x11-backend.so --use-pixman -- "$@"
else
    exec sh "$root/scripts/lib/with_xvfb.sh" sh "$0" "$@"
fi
options=""
while [ "$1" != -- ]; do
    options="$options $1"
    shift
done
shift

# shellcheck source=server_for_command.sh
. "$root/scripts/lib/server_for_command.sh"
runtime=$(mktemp -d) || exit 1
scratch=$runtime
chmod 700 "$runtime"

# shellcheck disable=SC2086 # the backend's options, none with a space
XDG_RUNTIME_DIR="$runtime" weston $options --debug --socket=lessons --width=1280 --height=1024 \
    >"$runtime/weston.log" 2>&1 &
server=$!
wait_for_server "with_weston: Weston $major" "$runtime/weston.log" test -S "$runtime/lessons"
export XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=lessons

run_command "$@"
