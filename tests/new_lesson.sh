#!/bin/sh
# Adds a lesson with a data file to a copy of the project by exactly the steps of
# the README's "Adding a lesson" (lessons/template.cpp lists the same), then runs
# the checks that go over every lesson. They must cover the new lesson and pass,
# and no file but the lesson's own may have changed.
# Usage: new_lesson.sh <ctest> <project dir>
set -eu
ctest=$1 root=$2
# shellcheck source=../scripts/lib/common.sh
. "$root/scripts/lib/common.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
copy="$work/project"
copy_project "$copy"
cd "$copy"

# Every file of the project with its checksum, build trees aside.
files() {
    find . -path ./build -prune -o -type f -exec cksum {} + | LC_ALL=C sort -k 3
}
files >"$work/before"

# 1. The template, copied, with its own opening comment and something drawn.
{
    printf '%s\n' "// Lesson 03: a picture of its own" "//" \
        "// Load resources/images/scratch.bmp and show it, as a newcomer's lesson would." \
        "// Shows: nothing new." ""
    sed -e '1,/^$/d' \
        -e 's|^#include "common/init_surface.hpp"$|&\n#include "common/loadmedia.hpp"|' \
        -e 's|^\( *\)// Draw into gScreenSurface here\.$|\1gImage = lesson::loadMedia("images/scratch.bmp");\n\1SDL_BlitSurface(gImage, nullptr, gScreenSurface, nullptr);|' \
        lessons/template.cpp
} >lessons/lesson03.cpp
# 2. Its add_lesson line, and its data file under resources/.
echo "add_lesson(lesson03 DATA images/scratch.bmp)" >>lessons/CMakeLists.txt
cp resources/images/hello_world.bmp resources/images/scratch.bmp
# 3. What it prints when all goes well: nothing.
: >tests/expected/lesson03.txt
# 4. Its screenshot, and its row in the README's table.
if ! sh scripts/screenshots.sh >"$work/log" 2>&1; then
    cat "$work/log"
    echo "FAIL: step 4, sh scripts/screenshots.sh, failed for the new lesson"
    exit 1
fi

failed=0
fail() {
    echo "FAIL: $1"
    failed=1
}
files >"$work/after"
changed=$(diff "$work/before" "$work/after" | sed -n 's|^[<>] [0-9]* [0-9]* \./||p' | LC_ALL=C sort -u)
expected="README.md
docs/screenshots/lesson03.png
lessons/CMakeLists.txt
lessons/lesson03.cpp
resources/images/scratch.bmp
tests/expected/lesson03.txt"
[ "$changed" = "$expected" ] || fail "the steps changed
$changed
instead of
$expected"
grep -q '^| 03 | \[a picture of its own\](lessons/lesson03.cpp) |' README.md ||
    fail "README.md's table has no row for lesson03"

# The checks that go over every lesson, in the test build.
if ! sh scripts/lib/build.sh test >"$work/log" 2>&1; then
    cat "$work/log"
    fail "the test build failed with the new lesson"
else
    checks='^(Lessons|X11|Valgrind|Docs)\.'
    "$ctest" --test-dir build/test -N -R "$checks" >"$work/list"
    for check in Lessons.KeepTheirPromise/lesson03 X11.lesson03 Valgrind.lesson03; do
        grep -q " $check\( \|$\)" "$work/list" || fail "no check $check"
    done
    "$ctest" --test-dir build/test -R "$checks" --output-on-failure >"$work/log" 2>&1 ||
        { cat "$work/log"; fail "a check that covers every lesson failed"; }
fi
[ "$failed" -eq 0 ] || exit 1
echo "lesson03 added by the four steps: covered by every check, and nothing else changed"
