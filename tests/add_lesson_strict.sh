#!/bin/sh
# A slip in a lesson's add_lesson line stops the configure, naming it: an unknown
# argument, a source that does not exist, a DATA file that does not exist.
# Works on a copy of the project.
# Usage: add_lesson_strict.sh <cmake> <source dir>
set -u
cmake=$1 root=$2
# shellcheck source=../scripts/lib/common.sh
. "$root/scripts/lib/common.sh"
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
copy_project "$work/src" || exit 1
cp "$work/src/lessons/CMakeLists.txt" "$work/lessons.cmake"
failures=0

# refused <line> <expected text>
refused() {
    cp "$work/lessons.cmake" "$work/src/lessons/CMakeLists.txt"
    echo "$1" >>"$work/src/lessons/CMakeLists.txt"
    rm -rf "$work/build"
    if "$cmake" -S "$work/src" -B "$work/build" -DBUILD_TESTING=OFF >"$work/log" 2>&1; then
        echo "FAIL: '$1' was accepted"
        failures=$((failures + 1))
    elif ! tr '\n' ' ' <"$work/log" | tr -s ' ' | grep -qF -e "$2"; then
        echo "FAIL: '$1' was refused without saying '$2':"
        cat "$work/log"
        failures=$((failures + 1))
    else
        echo "ok: $1"
    fi
}
refused "add_lesson(lesson02 DATTA images/hello_world.bmp)" "unknown argument(s) 'DATTA"
refused "add_lesson(lesson99)" "lessons/lesson99.cpp does not exist"
refused "add_lesson(lesson01 DATA images/helo_world.bmp)" "resources/images/helo_world.bmp does not exist"
exit "$failures"
