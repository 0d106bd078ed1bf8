# shellcheck shell=sh # sourced by POSIX sh scripts
# Shell functions for the scripts that run a command with a server of its own
# (with_xvfb.sh, with_weston.sh). Source it, make the server's folder ($scratch),
# start the server in the background ($server), wait_for_server, then end with
# run_command "$@".
# However the script ends (the command done, Ctrl+C, or killed as by a CI
# timeout), the command and the server are stopped and the folder is removed.

server="" command="" scratch=""
stop_all() {
    if [ -n "$command" ]; then
        kill "$command" 2>/dev/null
        wait "$command" 2>/dev/null
    fi
    if [ -n "$server" ]; then
        kill "$server" 2>/dev/null
        wait "$server" 2>/dev/null
    fi
    [ -z "$scratch" ] || rm -rf "$scratch"
}
trap stop_all EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# wait_for_server <name> <log> <test...>: waits, for up to 30 s, until the test
# command succeeds; if the server ends or the time runs out, shows its log and exits.
wait_for_server() {
    name=$1 log=$2
    shift 2
    tries=0
    until "$@"; do
        tries=$((tries + 1))
        if [ "$tries" -gt 600 ] || ! kill -0 "$server" 2>/dev/null; then
            echo "$name did not start:" >&2
            cat "$log" >&2
            exit 1
        fi
        sleep 0.05
    done
}

# run_command <command> [args...]: runs it and exits with its status. It runs in
# the background, so that a signal is taken at once rather than after it ends, with
# standard input its own (by way of descriptor 3, since the shell gives a
# background command /dev/null otherwise).
run_command() {
    exec 3<&0
    "$@" <&3 3<&- &
    command=$!
    wait "$command"
    status=$?
    command=""
    exit "$status"
}
