#!/bin/sh
# Runs the lessons named on the current X display, saving a screenshot of each
# window, taken a second after it shows, as <out dir>/<lesson>.png, then asks the
# window to close: a lesson that holds its picture goes on to the end of its hold,
# one that runs until its window is closed ends.
# Usage: shoot_lessons.sh <bin dir> <out dir> <lesson>...
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=common.sh
. "$root/scripts/lib/common.sh"
case ${1-} in -h | --help) usage; exit 0 ;; -*) refuse "unknown option '$1'" ;; esac
[ "$#" -ge 3 ] || refuse "it needs a bin folder, an output folder and the lessons"
bin=$1 out=$2
shift 2
mkdir -p "$out"
failed=""
for name in "$@"; do
    echo "== $name"
    "$bin/$name" &
    lesson_pid=$!
    # The lesson runs its course either way; a missing screenshot fails the run.
    "$bin/window_shot" save "$out/$name.png" --close || failed="$failed $name"
    wait "$lesson_pid" || failed="$failed $name"
done
if [ -n "$failed" ]; then
    echo "No screenshot, or a failed run, for:$failed" >&2
    exit 1
fi
echo "Screenshots: $out"
