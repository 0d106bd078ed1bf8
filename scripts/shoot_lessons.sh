#!/bin/sh
# Runs every lesson in <bin dir> on the current X display, saving a screenshot of
# its window, taken during the hold, as <out dir>/<lesson>.png.
# Usage: shoot_lessons.sh <bin dir> <out dir>
set -eu
bin=$1 out=$2
mkdir -p "$out"
for lesson in "$bin"/lesson[0-9]*; do
    name=$(basename "$lesson")
    echo "== $name"
    "$lesson" &
    lesson_pid=$!
    "$bin/window_shot" save "$out/$name.png" || true
    wait "$lesson_pid"
done
echo "Screenshots: $out"
