#!/bin/sh
# Runs a lesson on a real X server (Xvfb, SDL's x11 driver) and checks what the
# server shows against the lesson's committed screenshot, and what the lesson does
# when its window is asked to close, by its kind; see window_shot.
# Skipped (exit 77), saying why, where Xvfb or window_shot is missing; in CI that
# is a failure instead.
# Usage: x11_test.sh <window_shot> <expected.png> <kind> <draws> <lesson program>
set -u
shot=$1 expected=$2 kind=$3 draws=$4 lesson=$5
here=$(cd "$(dirname "$0")" && pwd)

skip() {
    echo "SKIPPED: $1"
    if [ "${CI:-}" = true ]; then
        echo "FAIL: CI must run the X server test"
        exit 1
    fi
    exit 77
}
[ -x "$shot" ] || skip "window_shot was not built (it needs the X11 and libpng development files)"
command -v Xvfb >/dev/null 2>&1 || skip "Xvfb is not installed (Debian package xvfb)"

work=$(mktemp -d) || exit 1
cd "$work" || exit 1
unset SDL_FRAMEBUFFER_ACCELERATION # the lesson decides how it presents
SDL_VIDEODRIVER=x11 sh "$here/../scripts/lib/with_xvfb.sh" "$shot" check "$expected" "$kind" "$draws" -- "$lesson"
status=$?
# The folder is kept only when it holds what the window showed instead.
if [ -f window_shot_actual.png ]; then
    echo "What the window showed instead: $PWD/window_shot_actual.png"
else
    cd / && rm -rf "$work"
fi
exit "$status"
