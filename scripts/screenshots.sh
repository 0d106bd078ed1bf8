#!/bin/sh
# Remakes docs/screenshots/<lesson>.png: runs each lesson on a virtual X server
# and photographs its window during the hold. The X server test compares every
# lesson against its screenshot, so run this after changing what a lesson shows.
# Then writes the README's table of lessons from their opening comments.
# Usage: screenshots.sh [output dir]   (default: docs/screenshots)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-"$root/docs/screenshots"}
build="$root/build/native"

"$root/scripts/install_deps.sh" g++ make cmake libsdl2-dev libpng-dev xvfb
sh "$root/scripts/build.sh" native
SDL_VIDEODRIVER=x11 sh "$root/scripts/with_xvfb.sh" sh "$root/scripts/shoot_lessons.sh" "$build/bin" "$out"
LESSONS_BUILD_TARGET=lesson_table sh "$root/scripts/build.sh" native
echo "The table of lessons: $root/README.md"
