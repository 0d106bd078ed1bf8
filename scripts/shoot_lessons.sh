#!/bin/sh
# Runs every lesson the build lists (<bin dir>/../lessons.txt) on the current X
# display, saving a screenshot of its window, taken during the hold, as
# <out dir>/<lesson>.png.
# Usage: shoot_lessons.sh <bin dir> <out dir>
set -eu
bin=$1 out=$2
mkdir -p "$out"
failed=""
while read -r name <&3; do
    echo "== $name"
    "$bin/$name" &
    lesson_pid=$!
    # The lesson runs its course either way; a missing screenshot fails the run.
    "$bin/window_shot" save "$out/$name.png" || failed="$failed $name"
    wait "$lesson_pid" || failed="$failed $name"
done 3<"$bin/../lessons.txt"
if [ -n "$failed" ]; then
    echo "No screenshot, or a failed run, for:$failed" >&2
    exit 1
fi
echo "Screenshots: $out"
