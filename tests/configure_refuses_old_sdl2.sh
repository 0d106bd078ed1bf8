#!/bin/sh
# Configuring against SDL2 2.0.3 must stop with a message that says why.
# Usage: configure_refuses_old_sdl2.sh <cmake> <source dir>
set -u
cmake=$1 source=$2
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT

if "$cmake" -S "$source" -B "$work/build" -DBUILD_TESTING=OFF \
        -DSDL2_DIR="$source/tests/old-sdl2" >"$work/log" 2>&1; then
    echo "FAIL: configuring against SDL2 2.0.3 succeeded"
    exit 1
fi
for expected in "SDL2 2.0.3" "2.0.20 or newer" "CVE-2021-33657"; do
    if ! tr '\n' ' ' <"$work/log" | tr -s ' ' | grep -qF "$expected"; then
        echo "FAIL: the configure error does not say '$expected':"
        cat "$work/log"
        exit 1
    fi
done
echo "ok: SDL2 2.0.3 refused"
