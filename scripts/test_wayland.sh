#!/bin/sh
# The lessons on a Wayland desktop: runs each on a real Wayland compositor (Weston)
# and checks it as everywhere else (tools/check/expectations.hpp): its lines, read
# through a pipe, its exit status, its picture, found in the compositor's own
# screenshots taken while it runs (the shell places a window anywhere), and what
# it does when asked, a second and a half in, to close its window.
# The compositor comes from scripts/lib/with_weston.sh.
# Usage: test_wayland.sh
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/common.sh
. "$root/scripts/lib/common.sh"

if [ "${1:-}" != --on-compositor ]; then
    no_arguments "$@"
    "$root/scripts/lib/install_deps.sh" --for lessons --for wayland
    # With the tests' example lessons, one of each kind (tests/new_lessons/).
    echo "== Building the lessons and lesson_check in $root/build/wayland"
    sh "$root/scripts/lib/build.sh" native -B "$root/build/wayland" -DLESSONS_EXAMPLES=ON
    sh "$root/scripts/lib/with_weston.sh" sh "$0" --on-compositor
    exit
fi

echo "== On Weston $(weston --version | sed -n 's/^weston //p')${DISPLAY:+, on its X11 backend in a virtual X server}"
unset SDL_VIDEODRIVER
# SDL 2 prefers X11 where there is a DISPLAY, as there is around the X11 backend;
# SDL3 (sdl2-compat) picks Wayland by itself.
[ -z "${DISPLAY:-}" ] || export SDL_VIDEODRIVER=wayland
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build="$root/build/wayland"
check="$build/bin/lesson_check"
# shellcheck source=lib/observe.sh
. "$root/scripts/lib/observe.sh"
OBSERVE_LIMIT=60
# Nothing tells when a Wayland window first shows: a second and a half is well
# after it does, and inside a two-second hold.
OBSERVE_CLOSE=1500

while read -r lesson _ <&3; do
    program="$build/bin/$lesson"
    dir="$work/$lesson"
    observe "$dir" "$program" &
    running=$!
    shots=0
    while kill -0 "$running" 2>/dev/null; do
        shots=$((shots + 1))
        mkdir -p "$dir/shot-$shots"
        (cd "$dir/shot-$shots" && timeout 20 weston-screenshooter >/dev/null 2>&1) || true
        sleep 0.2
    done
    wait "$running" || true
    # The picture must be in one of the screenshots taken while the lesson ran.
    found=""
    # Newest first; shot-<n> by number, and read line by line, since the path may
    # hold spaces.
    shots_newest_first=$(find "$dir" -mindepth 2 -maxdepth 2 -name "*.png" | sort -rV)
    while IFS= read -r shot; do
        if [ -n "$shot" ] && lesson_check_on "$dir" lesson "$lesson" --pointer --frame "$shot" >/dev/null 2>&1; then
            found=$shot
            break
        fi
    done <<EOF
$shots_newest_first
EOF
    failures=0
    if [ -n "$found" ]; then
        verdict "$dir" lesson "$lesson" --pointer --frame "$found"
    else
        echo "In none of the $shots screenshots taken while it ran:"
        verdict "$dir" lesson "$lesson"
        last=$(printf '%s\n' "$shots_newest_first" | head -n 1)
        [ -z "$last" ] || { cp "$last" "$build/$lesson-last-screenshot.png" &&
            echo "The last screenshot: $build/$lesson-last-screenshot.png"; }
    fi
    [ "$failures" -eq 0 ] || failed=1
done 3<<EOF
$(lesson_rows "$build/lessons.tsv")
EOF
if [ "${failed:-0}" -ne 0 ]; then
    echo "Wayland: a check failed"
    exit 1
fi
echo "Wayland: all checks passed"
