# shellcheck shell=sh # sourced by POSIX sh scripts
# Shell functions for the scripts that run a lesson somewhere other than the native
# tests do (under Wine, on a Wayland compositor, on an X server) and hand what they
# saw to lesson_check. Source it; set $check to lesson_check's path first.

now_ms() { date +%s%3N; }

# observe <dir> <command...>
# Runs the command with <dir> as its working directory and reads its standard output
# through a pipe, as a terminal or another program would, noting when the last line
# arrived. With OBSERVE_CLOSE set, it asks the program to close its window, as
# SIGTERM does (SDL makes it SDL_QUIT, the event a window's close button sends;
# OBSERVE_CLOSE_SIGNAL names another signal): "frame" half a second after SDL's
# dummy driver saved the first picture, or a number of milliseconds after the start.
# A run still going after $OBSERVE_LIMIT seconds (default 120) is a hang: it is
# reported, with a backtrace where gdb can give one, and killed. Of the pictures
# SDL's dummy driver saves (SDL_window*.bmp), only the first and the newest are
# kept. Leaves in <dir>: stdout.txt, stderr.txt, status, and "observed",
# lesson_check's options for what was seen, one a line: the first picture saved, if
# any, as the frame, the time from the newest to the exit as the hold, and the time
# from a close request to the exit (one written to <dir>/closed_at, by this or by
# whoever sent it).
observe() {
    dir=$1
    shift
    mkdir -p "$dir"
    : >"$dir/stdout.txt"
    rm -f "$dir/last_line_at" "$dir/closed_at"
    {
        (cd "$dir" && exec "$@") 2>"$dir/stderr.txt" &
        pid=$!
        started=$(now_ms)
        deadline=$(($(date +%s) + ${OBSERVE_LIMIT:-120}))
        first_frame_at=""
        close=""
        while kill -0 "$pid" 2>/dev/null && [ "$(date +%s)" -lt "$deadline" ]; do
            frames=$(find "$dir" -maxdepth 1 -name 'SDL_window*.bmp' | sort -V)
            if [ -n "$frames" ]; then
                [ -n "$first_frame_at" ] || first_frame_at=$(now_ms)
                first=$(printf '%s\n' "$frames" | head -n 1)
                newest=$(printf '%s\n' "$frames" | tail -n 1)
                printf '%s\n' "$frames" | while IFS= read -r frame; do
                    [ "$frame" = "$first" ] || [ "$frame" = "$newest" ] || rm -f "$frame"
                done
            fi
            if [ -n "${OBSERVE_CLOSE:-}" ] && [ ! -f "$dir/closed_at" ]; then
                case $OBSERVE_CLOSE in
                frame) [ -z "$first_frame_at" ] || [ $(($(now_ms) - first_frame_at)) -lt 500 ] || close=yes ;;
                *) [ $(($(now_ms) - started)) -lt "$OBSERVE_CLOSE" ] || close=yes ;;
                esac
                if [ "$close" = yes ]; then
                    kill -"${OBSERVE_CLOSE_SIGNAL:-TERM}" "$pid" 2>/dev/null
                    now_ms >"$dir/closed_at"
                fi
            fi
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
    {
        printf '%s\n' --stdout "$dir/stdout.txt" --status "$(cat "$dir/status")"
        frames=$(find "$dir" -maxdepth 1 -name 'SDL_window*.bmp' | sort -V)
        if [ -n "$frames" ]; then
            newest=$(printf '%s\n' "$frames" | tail -n 1)
            printf '%s\n' --frame "$(printf '%s\n' "$frames" | head -n 1)" \
                --hold-ms $((ended - $(stat -c %.3Y "$newest" | tr -d .)))
        fi
        if [ -f "$dir/last_line_at" ]; then
            printf '%s\n' --lead-ms $((ended - $(cat "$dir/last_line_at")))
        fi
        if [ -f "$dir/closed_at" ]; then
            printf '%s\n' --closed-ms $((ended - $(cat "$dir/closed_at")))
        fi
    } >"$dir/observed"
}

# lesson_check_on <dir> <lesson_check arguments...>
# Runs lesson_check on what observe saw in <dir>; returns its status. With
# $lessons_table set, lesson_check reads the lessons from that build's lessons.tsv.
lesson_check_on() {
    observed_in=$1
    shift
    if [ -n "${lessons_table:-}" ]; then
        set -- "$@" --lessons "$lessons_table"
    fi
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

# lesson_rows <lessons.tsv>: the lessons a build lists, a line each: "<name> <kind>
# <draws>", its heading left out.
lesson_rows() {
    awk -F '\t' 'NR > 1 { print $1, $2, $3 }' "$1"
}
