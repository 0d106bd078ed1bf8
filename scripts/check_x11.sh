#!/bin/sh
# The lessons as a learner builds them by hand, checked on an X server: the native
# preset's commands (cmake --preset native, then the build) with the -D options
# given, then each lesson run on a virtual X server (Xvfb), its window photographed
# during the hold (window_shot), and checked as everywhere else (lesson_check): its
# lines, read through a pipe, its exit status and its picture.
# Installs what it needs but SDL2, which the build makes from source where none is
# installed (offline: -DFETCHCONTENT_SOURCE_DIR_SDL2=<an unpacked SDL2 release>).
# Prints how long the configure and the build took.
# Usage: check_x11.sh [-B <build dir>] [cmake -D options...]   (default: build/native)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/native"
if [ "${1:-}" = -B ]; then
    build=$2
    shift 2
fi

# SDL2's own build needs git (to download it) and the X11 headers; lesson_check
# and window_shot need libpng; Xvfb is the X server.
"$root/scripts/install_deps.sh" g++ make cmake git libx11-dev libxext-dev libpng-dev xvfb procps
echo "== $(cmake --version | head -n 1): building the lessons in $build"
started=$(date +%s)
sh "$root/scripts/build.sh" native -B "$build" "$@"
echo "== Configured and built in $(($(date +%s) - started)) s; $(sed -n 's/^-- \(SDL2 [0-9].*\)/\1/p' "$build/build.log")"

check="$build/bin/lesson_check"
# shellcheck source=../tests/observe.sh
. "$root/tests/observe.sh"
OBSERVE_LIMIT=60
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset SDL_VIDEODRIVER
# The lessons the build lists, read on their own descriptor: the loop's commands
# keep standard input.
while read -r lesson <&3; do
    program="$build/bin/$lesson"
    mkdir -p "$work/$lesson"
    SDL_VIDEODRIVER=x11 sh "$root/scripts/with_xvfb.sh" sh -c '
        "$1" save "$2/frame.png" &
        shot=$!
        . "$3"
        observe "$2" "$4"
        wait "$shot"' sh "$build/bin/window_shot" "$work/$lesson" "$root/tests/observe.sh" \
        "$program" || true
    if [ -f "$work/$lesson/frame.png" ]; then
        verdict "$work/$lesson" lesson "$lesson" --frame "$work/$lesson/frame.png"
    else
        echo "FAIL: $lesson: no window was photographed"
        failures=$((failures + 1))
    fi
done 3<"$build/lessons.txt"
if [ "$failures" -ne 0 ]; then
    echo "X11: $failures check(s) failed"
    exit 1
fi
echo "X11: all checks passed"
