#!/bin/sh
# The lessons on Windows: cross-builds them with MinGW-w64 into build/windows/bin/
# (the CMake preset "windows", which builds SDL2 from source with them; offline,
# from the archive in $LESSONS_SOURCES), then runs each under Wine, headless on
# SDL's dummy driver, and checks it the way the native tests do
# (tools/check/expectations.hpp): its lines, read through a pipe as they are
# printed, its exit status, the picture it showed, and what it does when asked to
# close its window: hold its picture all the same, or end, by its kind.
# Then each lesson's traced twin, once as it is and once meeting each failure it
# handles (LESSONS_WHAT_IF). Then lesson02 built to read a folder with a drive
# letter, spaces and non-ASCII letters in its name: the image there, missing, and
# not a BMP.
# Usage: test_windows.sh
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/common.sh
. "$root/scripts/lib/common.sh"
no_arguments "$@"
build="$root/build/windows"

"$root/scripts/lib/install_deps.sh" --for lessons --for windows

echo "== Building the lessons for Windows (MinGW-w64) in $build"
# With the tests' example lessons, one of each kind (tests/new_lessons/).
sh "$root/scripts/lib/build.sh" windows -DLESSONS_TRACE=ON -DLESSONS_EXAMPLES=ON
# lesson_check, from the plain native build.
LESSONS_BUILD_TARGET=lesson_check sh "$root/scripts/lib/build.sh" native
check="$root/build/native/bin/lesson_check"
# lesson_check reads what each lesson promises from the Windows build's own list.
lessons_table="$build/lessons.tsv"

work=$(mktemp -d)
export WINEPREFIX="$work/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8
cleanup() {
    timeout 30 wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

echo "== Making a Wine prefix (about half a minute)"
if ! timeout 300 wineboot -i >"$work/wineboot.log" 2>&1; then
    cat "$work/wineboot.log"
    echo "test_windows: Wine would not start" >&2
    exit 1
fi
# A crash must end the program, not wait for someone to close a dialog.
timeout 60 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    >/dev/null 2>&1

# shellcheck source=lib/observe.sh
. "$root/scripts/lib/observe.sh"
# Headless: SDL's dummy driver saves each picture shown as a BMP. Half a second
# into the first, the lesson is asked to close: Wine dies of SIGTERM, but turns
# SIGINT into the console's Ctrl+C, which SDL makes SDL_QUIT.
export SDL_VIDEODRIVER=dummy SDL_VIDEO_DUMMY_SAVE_FRAMES=1 OBSERVE_CLOSE=frame OBSERVE_CLOSE_SIGNAL=INT

echo "== Each lesson under Wine, with arguments that are not ASCII"
while read -r lesson _ <&3; do
    observe "$work/$lesson" wine "$build/bin/$lesson.exe" "ção" "a b"
    verdict "$work/$lesson" lesson "$lesson"
done 3<<EOF
$(lesson_rows "$build/lessons.tsv")
EOF

echo "== Each lesson's traced twin under Wine, as it is and meeting each failure it handles"
while read -r lesson _ <&3; do
    observe "$work/$lesson-trace" wine "$build/bin/$lesson-trace.exe"
    verdict "$work/$lesson-trace" lesson "$lesson"
    for what_if in $(what_ifs_of "$lesson"); do
        dir="$work/$lesson-$what_if"
        LESSONS_WHAT_IF=$what_if observe "$dir" wine "$build/bin/$lesson-trace.exe"
        verdict "$dir" failure "$lesson.$what_if"
        if ! grep -q "made to fail: what if $what_if" "$dir/stderr.txt"; then
            echo "FAIL: $lesson-trace.exe, what if $what_if: its trace marks no call as made to fail"
            sed 's/^/  stderr: /' "$dir/stderr.txt"
            failures=$((failures + 1))
        fi
    done
done 3<<EOF
$(lesson_rows "$build/lessons.tsv")
EOF

echo "== lesson02 reading a folder named with a drive letter, spaces and non-ASCII letters"
fixture="$work/pasta de lições (cópia)/resources"
mkdir -p "$fixture/images"
# shellcheck disable=SC1003 # '\\' is one backslash, as tr reads it
resources=$(timeout 60 winepath -w "$fixture/" | tr '\\' '/')
sh "$root/scripts/lib/build.sh" windows -B "$root/build/windows-fixture" -DLESSONS_RESOURCES_DIR="$resources"
exe="$root/build/windows-fixture/bin/lesson02.exe"
image="${resources}images/hello_world.bmp"
cp "$root/resources/images/hello_world.bmp" "$fixture/images/"
observe "$work/present" wine "$exe"
verdict "$work/present" lesson lesson02
rm "$fixture/images/hello_world.bmp"
observe "$work/missing" wine "$exe"
verdict "$work/missing" load-failure-named "$image"
echo "Hello, world! (in words, not pixels)" >"$fixture/images/hello_world.bmp"
observe "$work/not-a-bmp" wine "$exe"
verdict "$work/not-a-bmp" load-failure "$image"

if [ "$failures" -ne 0 ]; then
    echo "Windows (Wine): $failures check(s) failed"
    exit 1
fi
echo "Windows (Wine): all checks passed"
