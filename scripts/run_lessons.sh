#!/bin/sh
# Quick start, part one: installs what is missing, builds the lessons in
# build/native/ (the CMake preset "native") and runs the lessons named, or all of
# them, in turn. On a desktop their windows show; on a machine with no display they
# run on a virtual X server instead, and a screenshot of each window is saved in
# build/native/screenshots/.
# With --trace, it builds their traced twins instead (the preset "trace", in
# build/trace/), which write every SDL call they make to standard error, while
# what the lesson prints goes to standard output as ever. --what-if <name> (with
# --trace implied) makes the lessons meet that failure, as SDL would make it;
# --what-if list says which there are, and which lessons each applies to
# (docs/trace.md).
# Usage: run_lessons.sh [--trace] [--what-if <name>|list] [lessonNN ...]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/common.sh
. "$root/scripts/lib/common.sh"

trace=false
what_if=""
while [ "$#" -gt 0 ]; do
    case $1 in
    -h | --help) usage; exit 0 ;;
    --trace) trace=true ;;
    --what-if)
        [ "$#" -ge 2 ] || refuse "--what-if needs a name, or list"
        what_if=$2
        trace=true
        shift
        ;;
    --what-if=*) what_if=${1#--what-if=}; trace=true ;;
    -*) refuse "unknown option '$1'" ;;
    *) break ;;
    esac
    shift
done
for argument in "$@"; do
    case $argument in -*) refuse "options come before the lessons: '$argument'" ;; esac
done
check_lessons "$@"

if [ "$what_if" = list ]; then
    echo "The failures a traced lesson can meet (LESSONS_WHAT_IF=<name>), and the lessons each applies to:"
    what_ifs | while read -r name call meaning; do
        applies=""
        for lesson in $(lessons); do
            what_ifs_of "$lesson" | grep -qxF -e "$name" && applies="$applies $lesson"
        done
        printf '  %-11s %s fails: %s (%s)\n' "$name" "$call" "$meaning" "${applies# }"
    done
    exit 0
fi
if [ -n "$what_if" ]; then
    what_ifs | cut -d ' ' -f 1 | grep -qxF -e "$what_if" ||
        refuse "there is no what-if '$what_if'; there are: $(what_ifs | cut -d ' ' -f 1 | tr '\n' ' ')(--what-if list says what each means)"
    if [ "$#" -eq 0 ]; then
        for lesson in $(lessons); do
            ! what_ifs_of "$lesson" | grep -qxF -e "$what_if" || set -- "$@" "$lesson"
        done
    fi
    for lesson in "$@"; do
        what_ifs_of "$lesson" | grep -qxF -e "$what_if" ||
            refuse "$lesson does not handle '$what_if'; its what-ifs are: $(what_ifs_of "$lesson" | tr '\n' ' ')"
    done
fi
# shellcheck disable=SC2046 # one word per lesson: their names have no spaces
[ "$#" -gt 0 ] || set -- $(lessons)

headless=false
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    headless=true
fi
if $headless; then
    "$root/scripts/lib/install_deps.sh" --for lessons --for headless
else
    "$root/scripts/lib/install_deps.sh" --for lessons
fi

preset=native suffix=""
if $trace; then
    preset=trace suffix=-trace
fi
build="$root/build/$preset"
echo "== Building the lessons in $build"
sh "$root/scripts/lib/build.sh" "$preset"

if [ -n "$what_if" ]; then
    export LESSONS_WHAT_IF="$what_if"
    for lesson in "$@"; do
        echo "== $lesson$suffix, what if $what_if"
        status=0
        if $headless; then
            SDL_VIDEODRIVER=x11 sh "$root/scripts/lib/with_xvfb.sh" "$build/bin/$lesson$suffix" || status=$?
        else
            "$build/bin/$lesson$suffix" || status=$?
        fi
        echo "== $lesson$suffix exited with status $status"
    done
elif $headless; then
    echo "No display here: running the lessons on a virtual X server."
    traced=""
    for lesson in "$@"; do
        traced="$traced $lesson$suffix"
    done
    # shellcheck disable=SC2086 # one word per program: their names have no spaces
    SDL_VIDEODRIVER=x11 sh "$root/scripts/lib/with_xvfb.sh" \
        sh "$root/scripts/lib/shoot_lessons.sh" "$build/bin" "$build/screenshots" $traced
else
    for lesson in "$@"; do
        echo "== $lesson$suffix"
        "$build/bin/$lesson$suffix"
    done
fi
