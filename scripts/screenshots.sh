#!/bin/sh
# Remakes docs/screenshots/<lesson>.png: runs each lesson on a virtual X server
# and photographs its window during the hold. The X server test compares every
# lesson against its screenshot, so run this after changing what a lesson shows.
# Usage: screenshots.sh [output dir]   (default: docs/screenshots)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-"$root/docs/screenshots"}
build="$root/build/run"

"$root/scripts/install_deps.sh" g++ make cmake libsdl2-dev libpng-dev xvfb
mkdir -p "$build" "$out"
if ! { cmake -S "$root" -B "$build" -DBUILD_TESTING=OFF &&
       cmake --build "$build" --parallel 2; } >"$build/build.log" 2>&1; then
    cat "$build/build.log"
    exit 1
fi
SDL_VIDEODRIVER=x11 sh "$root/scripts/with_xvfb.sh" sh "$root/scripts/shoot_lessons.sh" "$build/bin" "$out"
