#!/bin/sh
# Configures and builds the project in <build dir>, quietly: the log, kept in
# <build dir>/build.log, is shown only when something fails.
# Usage: build.sh <build dir> [cmake options...]
# LESSONS_BUILD_TARGET=<target> builds that target alone.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
shift

mkdir -p "$dir"
if ! { cmake -S "$root" -B "$dir" "$@" && cmake --build "$dir" --parallel 2 ${LESSONS_BUILD_TARGET:+--target "$LESSONS_BUILD_TARGET"}; } \
        >"$dir/build.log" 2>&1; then
    cat "$dir/build.log"
    echo "The build in $dir failed; its log is in $dir/build.log" >&2
    exit 1
fi
