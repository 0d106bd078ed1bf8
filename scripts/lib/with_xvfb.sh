#!/bin/sh
# Runs a command with DISPLAY set to a fresh virtual X server (Xvfb) of its own,
# then stops the server. Exits with the command's status, or 77 when there is
# no Xvfb to start. However it ends (also on Ctrl+C or when killed, as by a CI
# timeout), the server is stopped and its temporary folder removed.
# Usage: with_xvfb.sh <command> [args...]
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=common.sh
. "$root/scripts/lib/common.sh"
case ${1-} in -h | --help) usage; exit 0 ;; "" | -*) refuse "it needs a command to run" ;; esac

if ! command -v Xvfb >/dev/null 2>&1; then
    echo "with_xvfb: Xvfb is not installed (Debian package xvfb)" >&2
    exit 77
fi

# shellcheck source=server_for_command.sh
. "$root/scripts/lib/server_for_command.sh"
work=$(mktemp -d) || exit 1
scratch=$work

# -displayfd picks a free display number and writes it once the server is ready.
# -noreset: as on a desktop, whose window manager stays connected, the server does
# not reset (and rebuild its keymap, some 60 ms of work) whenever its last client
# leaves, which would otherwise fall on the next lesson's start-up.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/log" &
server=$!
wait_for_server "with_xvfb: Xvfb" "$work/log" test -s "$work/display"
DISPLAY=":$(cat "$work/display")"
export DISPLAY

run_command "$@"
