#!/bin/sh
# Configures the project through one of its CMake presets (CMakePresets.json names
# every build variant) and builds it, quietly: the log, kept in <build dir>/build.log,
# is shown only when something fails. The build goes into the preset's own folder,
# build/<preset>, or into the one given with -B.
# Usage: build.sh <preset> [-B <build dir>] [cmake -D options...]
# LESSONS_BUILD_TARGET=<target> builds that target alone.
# LESSONS_SOURCES=<folder> builds offline: where SDL2 is built from source, its
# source is the release's archive in that folder (SDL2-2.32.10.tar.gz) rather
# than a download.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=common.sh
. "$root/scripts/lib/common.sh"
case ${1-} in
-h | --help) usage; exit 0 ;;
"" | -*) refuse "it needs a configure preset of CMakePresets.json first (cmake --list-presets lists them)" ;;
esac
preset=$1
shift
dir="$root/build/$preset"
if [ "${1:-}" = -B ]; then
    [ "$#" -ge 2 ] || refuse "-B needs a folder"
    dir=$2
    shift 2
fi
for option in "$@"; do
    case $option in -D?*) ;; *) refuse "after the preset it takes CMake's -D<name>=<value> options, not '$option'" ;; esac
done

if [ -n "${LESSONS_SOURCES:-}" ]; then
    release=$(sed -n 's/^set(LESSONS_SDL2_TAG release-\(.*\))$/\1/p' "$root/cmake/SDL2.cmake")
    source=$(sh "$root/scripts/lib/unpack_source.sh" "$LESSONS_SOURCES/SDL2-$release.tar.gz")
    set -- "-DFETCHCONTENT_SOURCE_DIR_SDL2=$source" "$@"
fi

mkdir -p "$dir"
if ! { cmake -S "$root" -B "$dir" --preset "$preset" "$@" &&
       cmake --build "$dir" --parallel 2 ${LESSONS_BUILD_TARGET:+--target "$LESSONS_BUILD_TARGET"}; } \
        >"$dir/build.log" 2>&1; then
    cat "$dir/build.log"
    echo "The build in $dir failed; its log is in $dir/build.log" >&2
    exit 1
fi
