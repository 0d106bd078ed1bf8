#!/bin/sh
# The lessons as a learner builds them by hand, checked on an X server: the native
# preset's commands (cmake --preset native, then the build) with the -D options
# given, then each lesson run on a virtual X server (Xvfb), its window photographed
# a second after it shows (window_shot) and then asked to close, and checked as
# everywhere else (lesson_check): its lines, read through a pipe, its exit status,
# its picture, and what it did when asked to close.
# Installs what it needs but SDL2, which the build makes from source where none is
# installed (offline: -DFETCHCONTENT_SOURCE_DIR_SDL2=<an unpacked SDL2 release>).
# Prints how long the configure and the build took. With --no-cmake-warnings, a
# warning of CMake's in the configure (a deprecation, say) fails the check.
# Usage: check_x11.sh [--no-cmake-warnings] [-B <build dir>] [cmake -D options...]
#        (default: build/native)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=common.sh
. "$root/scripts/lib/common.sh"
build="$root/build/native"
no_warnings=false
case ${1-} in
-h | --help) usage; exit 0 ;;
--no-cmake-warnings) no_warnings=true; shift ;;
esac
if [ "${1:-}" = -B ]; then
    [ "$#" -ge 2 ] || refuse "-B needs a folder"
    build=$2
    shift 2
fi
for option in "$@"; do
    case $option in -D?*) ;; *) refuse "it takes CMake's -D<name>=<value> options, not '$option'" ;; esac
done

# SDL2's own build needs git (to download it) and the X11 headers; lesson_check
# and window_shot need libpng; Xvfb is the X server.
"$root/scripts/lib/install_deps.sh" --for from-source
echo "== $(cmake --version | head -n 1): building the lessons in $build"
started=$(date +%s)
sh "$root/scripts/lib/build.sh" native -B "$build" "$@"
echo "== Configured and built in $(($(date +%s) - started)) s; $(sed -n 's/^-- \(SDL2 [0-9].*\)/\1/p' "$build/build.log")"
if $no_warnings && grep -nE "^CMake (Deprecation )?Warning" "$build/build.log"; then
    echo "FAIL: the configure printed the CMake warnings above; the whole log: $build/build.log"
    exit 1
fi

check="$build/bin/lesson_check"
# shellcheck source=observe.sh
. "$root/scripts/lib/observe.sh"
OBSERVE_LIMIT=60
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset SDL_VIDEODRIVER
# The lessons the build lists, read on their own descriptor: the loop's commands
# keep standard input.
while read -r lesson _ <&3; do
    program="$build/bin/$lesson"
    mkdir -p "$work/$lesson"
    SDL_VIDEODRIVER=x11 sh "$root/scripts/lib/with_xvfb.sh" sh -c '
        . "$3"
        { "$1" save "$2/frame.png" --close && now_ms >"$2/closed_at"; } &
        shot=$!
        observe "$2" "$4"
        wait "$shot"' sh "$build/bin/window_shot" "$work/$lesson" "$root/scripts/lib/observe.sh" \
        "$program" || true
    if [ -f "$work/$lesson/frame.png" ]; then
        verdict "$work/$lesson" lesson "$lesson" --frame "$work/$lesson/frame.png"
    else
        echo "FAIL: $lesson: no window was photographed"
        failures=$((failures + 1))
    fi
done 3<<EOF
$(lesson_rows "$build/lessons.tsv")
EOF
if [ "$failures" -ne 0 ]; then
    echo "X11: $failures check(s) failed"
    exit 1
fi
echo "X11: all checks passed"
