#!/bin/sh
# The checkout may live under a directory name a newcomer's often has: build a copy
# of the project under one with spaces, quotes, '$', '&', '%', brackets and
# non-ASCII letters (scripts/lib/common.sh names it), and check that its lesson02
# finds its image there, and that its traced twin is made from the folder's files. One character is left out, since CMake itself cannot take
# it: under a folder whose name holds a backslash, `cmake -S .` reads it as a
# separator and reports "The source directory '.../back/slash dir' does not exist"
# (CMake 3.25).
# Usage: build_in_unusual_path.sh <cmake> <source dir>
set -u
cmake=$1 root=$2
# shellcheck source=../scripts/lib/common.sh
. "$root/scripts/lib/common.sh"
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT

odd="$work/$odd_folder"
copy_project "$odd/src" || exit 1

if ! "$cmake" -S "$odd/src" -B "$odd/build" -DBUILD_TESTING=OFF -DLESSONS_TRACE=ON >"$work/log" 2>&1 ||
   ! "$cmake" --build "$odd/build" --target lesson02 lesson02-trace >>"$work/log" 2>&1; then
    echo "FAIL: cannot build under '$odd':"
    cat "$work/log"
    exit 1
fi

# Without the image lesson02 prints two lines and exits 1; with it, nothing and 0.
cd "$work" || exit 1
output=$(SDL_VIDEODRIVER=dummy "$odd/build/bin/lesson02" 2>&1)
status=$?
if [ "$status" -ne 0 ] || [ -n "$output" ]; then
    echo "FAIL: lesson02 under '$odd' exited $status and printed:"
    echo "$output"
    exit 1
fi
# Its traced twin too: the lesson's calls, found through the folder's files.
traced=$(SDL_VIDEODRIVER=dummy "$odd/build/bin/lesson02-trace" 2>&1 >/dev/null)
case $traced in
*"lesson::loadMedia("*"SDL_LoadBMP_RW("*) ;;
*) echo "FAIL: lesson02-trace under '$odd' traced:"; echo "$traced"; exit 1 ;;
esac
echo "ok: built and ran under '$odd', and its traced twin"
