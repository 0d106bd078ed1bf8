#!/bin/sh
# Adds two lessons of kinds the series has not had yet to a copy of the project, by
# exactly the steps of docs/adding-a-lesson.md: one that reads events until its
# window is closed, and one that draws with SDL's renderer (tests/new_lessons/,
# under names no real lesson will take). Then runs the checks that go over every
# lesson: they must cover both and pass, and no file but theirs may have changed.
# Then breaks each as an author might, and the checks must fail: the first no
# longer ends when closed, the second draws its rectangle a pixel off.
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
new="scratch_events scratch_renderer"

# Every file of the project with its checksum, build trees aside.
files() {
    find . -path ./build -prune -o -type f -exec cksum {} + | LC_ALL=C sort -k 3
}
files >"$work/before"

for lesson in $new; do
    # 1. Its source, from the template (here, written already).
    cp "$root/tests/new_lessons/$lesson.cpp" lessons/
    # 2. Its add_lesson line.
    echo "add_lesson($lesson)" >>lessons/CMakeLists.txt
    # 3. What it prints when all goes well: nothing.
    cp "$root/tests/new_lessons/$lesson.prints.tsv" lessons/
done
# 4. The screenshots, and the rows of the README's table.
if ! sh scripts/screenshots.sh >"$work/log" 2>&1; then
    cat "$work/log"
    echo "FAIL: step 4, sh scripts/screenshots.sh, failed for the new lessons"
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
docs/screenshots/scratch_events.png
docs/screenshots/scratch_renderer.png
lessons/CMakeLists.txt
lessons/scratch_events.cpp
lessons/scratch_events.prints.tsv
lessons/scratch_renderer.cpp
lessons/scratch_renderer.prints.tsv"
[ "$changed" = "$expected" ] || fail "the steps changed
$changed
instead of
$expected"
grep -q '^| 98 | \[a window that waits to be closed\](lessons/scratch_events.cpp) |' README.md ||
    fail "README.md's table has no row for scratch_events"

# The checks that go over every lesson, in the test build: each lesson's promise on
# SDL's dummy driver, under valgrind and on an X server, and its traced twin's.
checks='^(Lessons|X11|Valgrind|Trace|Docs)\.'
run_checks() { # <regex of the checks>: their output in $work/log
    "$ctest" --test-dir build/test -R "$1" --no-tests=error --output-on-failure >"$work/log" 2>&1
}
if ! sh scripts/lib/build.sh test >"$work/log" 2>&1; then
    cat "$work/log"
    fail "the test build failed with the new lessons"
else
    "$ctest" --test-dir build/test -N -R "$checks" >"$work/list"
    for lesson in $new; do
        for check in "Lessons.KeepTheirPromise/$lesson" "X11.$lesson" "Valgrind.KeepsItsPromiseCleanly/$lesson" \
            "Trace.TheTwinKeepsThePromiseAndListsEachCallAtItsLine/$lesson"; do
            grep -q " $check\( \|$\)" "$work/list" || fail "no check $check"
        done
    done
    grep -q "^scratch_events	until-closed	surface	" build/test/lessons.tsv ||
        fail "scratch_events is not known to run until closed: $(cat build/test/lessons.tsv)"
    grep -q "^scratch_renderer	holds	renderer	" build/test/lessons.tsv ||
        fail "scratch_renderer is not known to draw with the renderer: $(cat build/test/lessons.tsv)"
    run_checks "$checks" || { cat "$work/log"; fail "a check that covers every lesson failed"; }

    # Broken as an author might break them, they fail.
    sed -i -e 's/open = false;/SDL_Log("closed, but not yet");/' \
        -e 's/while (open) {/for (int frame = 0; open \&\& frame < 200; ++frame) {/' lessons/scratch_events.cpp
    sed -i 's/{160, 120, 320, 240}/{161, 120, 320, 240}/' lessons/scratch_renderer.cpp
    sh scripts/lib/build.sh test >"$work/log" 2>&1 || { cat "$work/log"; fail "the broken lessons do not build"; }
    for check in "Lessons.KeepTheirPromise/scratch_events" "X11.scratch_events" \
        "Lessons.KeepTheirPromise/scratch_renderer" "X11.scratch_renderer"; do
        if run_checks "^$check( |\$)"; then
            fail "$check passed with the lesson broken"
        fi
    done
fi
[ "$failed" -eq 0 ] || exit 1
echo "scratch_events and scratch_renderer added by the four steps: covered by every check, which fail when" \
    "they are broken, and nothing else changed"
