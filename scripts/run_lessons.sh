#!/bin/sh
# Quick start, part one: installs what is missing, builds the lessons in
# build/run/ and runs each of them in turn.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/run"

"$root/scripts/install_deps.sh" g++ make cmake libsdl2-dev

log="$build/build.log"
mkdir -p "$build"
if ! { cmake -S "$root" -B "$build" -DBUILD_TESTING=OFF &&
       cmake --build "$build" --parallel 2; } >"$log" 2>&1; then
    cat "$log"
    echo "The build failed; the log above is also in $log" >&2
    exit 1
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${SDL_VIDEODRIVER:-}" ]; then
    echo "No display: running the lessons on SDL's headless 'dummy' driver."
    SDL_VIDEODRIVER=dummy
    export SDL_VIDEODRIVER
fi

for lesson in "$build"/bin/lesson[0-9]*; do
    echo "== $(basename "$lesson")"
    "$lesson"
done
