#!/bin/sh
# Quick start, part one: installs what is missing, builds the lessons in
# build/native/ (the CMake preset "native") and runs each of them in turn. On a
# desktop their windows show; on a machine with no display they run on a virtual
# X server instead, and a screenshot of each window is saved in
# build/native/screenshots/.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/native"

headless=false
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    headless=true
fi

if $headless; then
    "$root/scripts/install_deps.sh" g++ make cmake libsdl2-dev libpng-dev xvfb
else
    "$root/scripts/install_deps.sh" g++ make cmake libsdl2-dev
fi

echo "== Building the lessons in $build"
sh "$root/scripts/build.sh" native

if $headless; then
    echo "No display here: running the lessons on a virtual X server."
    SDL_VIDEODRIVER=x11 sh "$root/scripts/with_xvfb.sh" \
        sh "$root/scripts/shoot_lessons.sh" "$build/bin" "$build/screenshots"
else
    while read -r lesson <&3; do
        echo "== $lesson"
        "$build/bin/$lesson"
    done 3<"$build/lessons.txt"
fi
