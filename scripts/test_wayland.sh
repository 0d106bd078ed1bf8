#!/bin/sh
# The lessons on a Wayland desktop: runs each on a real Wayland compositor (Weston)
# and checks it as everywhere else (tests/check/expectations.hpp): its lines, read
# through a pipe, its exit status, and its picture, found in the compositor's own
# screenshots taken while it runs (the shell places a window anywhere).
# Weston 10 (Debian 12) runs on its X11 backend inside a virtual X server: its
# headless backend offers no seat, and SDL 2.26 crashes without one. Newer Weston
# runs headless, drawing with pixman.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" != --on-compositor ]; then
    "$root/scripts/install_deps.sh" g++ make cmake libsdl2-dev libgtest-dev libpng-dev weston xvfb \
        libegl-mesa0 libgl1-mesa-dri gdb
    echo "== Building the lessons and lesson_check in $root/build/test"
    sh "$root/scripts/build.sh" "$root/build/test" -DBUILD_TESTING=ON -DLESSONS_WERROR=ON \
        -DLESSONS_SANITIZE=OFF
    major=$(weston --version 2>/dev/null | sed -n 's/^weston \([0-9]*\).*/\1/p')
    export XDG_RUNTIME_DIR="$(mktemp -d)"
    trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
    if [ "${major:-0}" -ge 12 ]; then
        echo "== Weston $major, headless (pixman)"
        sh "$0" --on-compositor --backend=headless --renderer=pixman
    else
        echo "== Weston ${major:-?} on its X11 backend, in a virtual X server"
        sh "$root/scripts/with_xvfb.sh" sh "$0" --on-compositor --backend=x11-backend.so --use-pixman
    fi
    exit
fi
shift

# --debug lets weston-screenshooter take screenshots.
weston "$@" --debug --socket=lessons --width=1280 --height=1024 >"$XDG_RUNTIME_DIR/weston.log" 2>&1 &
weston=$!
work=$(mktemp -d)
trap 'kill "$weston" 2>/dev/null; wait "$weston" 2>/dev/null; rm -rf "$work"' EXIT
tries=0
until [ -S "$XDG_RUNTIME_DIR/lessons" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 300 ] || ! kill -0 "$weston" 2>/dev/null; then
        cat "$XDG_RUNTIME_DIR/weston.log"
        echo "test_wayland: Weston did not start" >&2
        exit 1
    fi
    sleep 0.1
done
export WAYLAND_DISPLAY=lessons
unset SDL_VIDEODRIVER
# SDL 2 prefers X11 where there is a DISPLAY, as there is around the X11 backend;
# SDL3 (sdl2-compat) picks Wayland by itself.
[ -z "${DISPLAY:-}" ] || export SDL_VIDEODRIVER=wayland

check="$root/build/test/bin/lesson_check"
. "$root/tests/observe.sh"
OBSERVE_LIMIT=60

for program in "$root"/build/test/bin/lesson[0-9]*; do
    lesson=$(basename "$program")
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
    for shot in $(ls -d "$dir"/shot-*/*.png 2>/dev/null | sort -r); do
        if verdict "$dir" lesson "$lesson" --frame "$shot" >/dev/null 2>&1; then
            found=$shot
            break
        fi
    done
    failures=0
    if [ -n "$found" ]; then
        verdict "$dir" lesson "$lesson" --frame "$found"
    else
        echo "In none of the $shots screenshots taken while it ran:"
        verdict "$dir" lesson "$lesson"
        ls "$dir"/shot-*/*.png >/dev/null 2>&1 && cp "$(ls "$dir"/shot-*/*.png | tail -n 1)" \
            "$root/build/test/wayland-$lesson-last-screenshot.png" &&
            echo "The last screenshot: $root/build/test/wayland-$lesson-last-screenshot.png"
    fi
    [ "$failures" -eq 0 ] || failed=1
done
if [ "${failed:-0}" -ne 0 ]; then
    echo "Wayland: a check failed"
    exit 1
fi
echo "Wayland: all checks passed"
