# shellcheck shell=sh # sourced by POSIX sh scripts
# Shell functions for the scripts that run a lesson somewhere other than the native
# tests do (under Wine, on a Wayland compositor) and hand what they saw to
# lesson_check. Source it; set $check to lesson_check's path first.

now_ms() { date +%s%3N; }

# observe <dir> <command...>
# Runs the command with <dir> as its working directory and reads its standard
# output through a pipe, as a terminal or another program would, noting when the
# last line arrived. A run still going after $OBSERVE_LIMIT seconds (default 120)
# is a hang: it is reported, with a backtrace where gdb can give one, and killed.
# Leaves in <dir>: stdout.txt, stderr.txt, status, and "observed", lesson_check's
# options for what was seen, one a line (with the last SDL_window*.bmp that SDL's
# dummy driver saved, if any, as the frame).
observe() {
    dir=$1
    shift
    mkdir -p "$dir"
    : >"$dir/stdout.txt"
    rm -f "$dir/last_line_at"
    {
        (cd "$dir" && exec "$@") 2>"$dir/stderr.txt" &
        pid=$!
        deadline=$(($(date +%s) + ${OBSERVE_LIMIT:-120}))
        while kill -0 "$pid" 2>/dev/null && [ "$(date +%s)" -lt "$deadline" ]; do
            sleep 0.1
        done
        if kill -0 "$pid" 2>/dev/null; then
            echo "HANG: '$*' was still running after ${OBSERVE_LIMIT:-120} s" >&2
            if command -v gdb >/dev/null 2>&1; then
                timeout 60 gdb -p "$pid" -batch -ex "thread apply all bt" 1>&2 || true
            fi
            kill -9 "$pid" 2>/dev/null
        fi
        status=0
        wait "$pid" || status=$?
        echo "$status" >"$dir/status"
    } | while IFS= read -r line; do
        printf '%s\n' "$line" >>"$dir/stdout.txt"
        now_ms >"$dir/last_line_at"
    done
    ended=$(now_ms)
    echo "$ended" >"$dir/ended_at"
    {
        printf '%s\n' --stdout "$dir/stdout.txt" --status "$(cat "$dir/status")"
        # SDL_window<id>-<n>.bmp: by number, so that frame 10 comes after frame 9.
        frame=$(find "$dir" -maxdepth 1 -name 'SDL_window*.bmp' | sort -V | tail -n 1)
        if [ -n "$frame" ]; then
            printf '%s\n' --frame "$frame" --hold-ms $((ended - $(stat -c %.3Y "$frame" | tr -d .)))
        fi
        if [ -f "$dir/last_line_at" ]; then
            printf '%s\n' --lead-ms $((ended - $(cat "$dir/last_line_at")))
        fi
    } >"$dir/observed"
}

# lesson_check_on <dir> <lesson_check arguments...>
# Runs lesson_check on what observe saw in <dir>; returns its status.
lesson_check_on() {
    observed_in=$1
    shift
    set -f
    old_ifs=$IFS
    IFS='
'
    # One option a line in "observed"; none holds a newline.
    # shellcheck disable=SC2046 # split on purpose: one option a line, IFS a newline
    set -- "$@" $(cat "$observed_in/observed")
    IFS=$old_ifs
    set +f
    "${check:?set check to the path of lesson_check first}" "$@"
}

# verdict <dir> <lesson_check arguments...>
# The same, counting a failure in $failures and showing the program's standard
# error when the check fails.
failures=0
verdict() {
    if ! lesson_check_on "$@"; then
        failures=$((failures + 1))
        sed 's/^/  stderr: /' "$1/stderr.txt"
    fi
}
