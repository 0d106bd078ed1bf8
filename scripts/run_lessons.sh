#!/bin/sh
# Quick start, part one: installs what is missing, builds the lessons in
# build/native/ (the CMake preset "native") and runs the lessons named, or all of
# them, in turn. On a desktop their windows show; on a machine with no display they
# run on a virtual X server instead, and a screenshot of each window is saved in
# build/native/screenshots/.
# Usage: run_lessons.sh [lessonNN ...]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/common.sh
. "$root/scripts/lib/common.sh"
build="$root/build/native"

for argument in "$@"; do
    case $argument in
    -h | --help) usage; exit 0 ;;
    -*) refuse "unknown option '$argument'" ;;
    esac
done
check_lessons "$@"
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

echo "== Building the lessons in $build"
sh "$root/scripts/lib/build.sh" native

if $headless; then
    echo "No display here: running the lessons on a virtual X server."
    SDL_VIDEODRIVER=x11 sh "$root/scripts/lib/with_xvfb.sh" \
        sh "$root/scripts/lib/shoot_lessons.sh" "$build/bin" "$build/screenshots" "$@"
else
    for lesson in "$@"; do
        echo "== $lesson"
        "$build/bin/$lesson"
    done
fi
