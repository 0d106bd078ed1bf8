#!/bin/sh
# A virtual X server or a Weston compositor started for a command is stopped, and
# its temporary folder removed, also when the script that started it is killed
# during the command, as a CI timeout does (SIGTERM).
# Usage: servers_stop_when_killed.sh <scripts dir>
set -u
scripts=$1
failures=0

descendants() { # <pid>
    for child in $(pgrep -P "$1"); do
        echo "$child"
        descendants "$child"
    done
}

killed_during_command() { # <wrapper script>
    tmp=$(mktemp -d) || exit 1
    TMPDIR=$tmp sh "$scripts/$1" sh -c 'touch "$0/started" && exec sleep 60' "$tmp" &
    wrapper=$!
    tries=0
    until [ -f "$tmp/started" ]; do
        tries=$((tries + 1))
        if [ "$tries" -gt 300 ] || ! kill -0 "$wrapper" 2>/dev/null; then
            echo "FAIL: $1 did not start its command"
            failures=$((failures + 1))
            return
        fi
        sleep 0.1
    done
    started=$(descendants "$wrapper")
    kill -TERM "$wrapper"
    wait "$wrapper"
    sleep 1
    left=""
    for pid in $started; do
        case $(ps -o stat= -p "$pid") in
        "" | Z*) ;; # gone, or a zombie waiting for init to reap it
        *) left="$left $pid" ;;
        esac
    done
    if [ -n "$left" ]; then
        echo "FAIL: $1 left these running when killed:"
        # shellcheck disable=SC2086 # a list of process ids, split at spaces on purpose
        ps -o pid,args -p $left
        # shellcheck disable=SC2086 # the same list
        kill $left 2>/dev/null
        failures=$((failures + 1))
    elif [ -n "$(find "$tmp" -mindepth 1 -maxdepth 1 ! -name started)" ]; then
        echo "FAIL: $1 left its temporary folder behind: $(ls -A "$tmp")"
        failures=$((failures + 1))
    else
        echo "ok: $1 stopped $(echo "$started" | wc -w) process(es) and removed its folder"
    fi
    rm -rf "$tmp"
}

killed_during_command with_xvfb.sh
if command -v weston >/dev/null 2>&1; then
    killed_during_command with_weston.sh
elif [ "${CI:-}" = true ]; then
    echo "FAIL: Weston is not installed, and CI must check with_weston.sh"
    failures=$((failures + 1))
else
    echo "(Weston is not installed: with_weston.sh not checked)"
fi
exit "$failures"
