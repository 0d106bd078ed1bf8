#!/bin/sh
# The lessons built with SDL2 from source (the release cmake/SDL2.cmake pins),
# each checked on a virtual X server (scripts/lib/check_x11.sh). Where no SDL2 is
# installed (a fresh chroot: test_in_chroot.sh bookworm) the native preset's own
# commands build it; where one is, -DLESSONS_SDL2_FROM_SOURCE=ON does. Either way
# the configure must print no CMake warning.
# With --oldest, the oldest releases the lessons promise to build with, as Ubuntu
# 22.04 LTS ships them: the CMake that cmake_minimum_required names, built once
# from its source and cached, and the SDL2 that LESSONS_SDL2_MINIMUM names, built
# with the lessons into build/oldest; that CMake must also read CMakePresets.json.
# Offline, LESSONS_SOURCES names a folder holding the release archives
# (SDL2-2.32.10.tar.gz; for --oldest also cmake-3.22.1.tar.gz, SDL2-2.0.20.tar.gz).
# Usage: test_from_source.sh [--oldest]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/common.sh
. "$root/scripts/lib/common.sh"
case ${1-} in
"")
    set --
    if dpkg-query -W -f='${Status}' libsdl2-dev 2>/dev/null | grep -q "ok installed"; then
        echo "== SDL2 is installed here (libsdl2-dev): building SDL2 from source all the same"
        set -- -DLESSONS_SDL2_FROM_SOURCE=ON
    fi
    sh "$root/scripts/lib/check_x11.sh" --no-cmake-warnings "$@"
    grep -q "^-- SDL2 [0-9.]*: built from" "$root/build/native/build.log"
    exit
    ;;
--oldest) [ "$#" -eq 1 ] || refuse "--oldest takes nothing after it" ;;
*) no_arguments "$@" ;;
esac

sources=${LESSONS_SOURCES:?"test_from_source --oldest: LESSONS_SOURCES must name the folder holding the release archives"}
cmake_minimum=$(sed -n 's/^cmake_minimum_required(VERSION \([0-9.]*\))$/\1/p' "$root/CMakeLists.txt")
sdl2_minimum=$(sed -n 's/^set(LESSONS_SDL2_MINIMUM \([0-9.]*\))$/\1/p' "$root/cmake/SDL2.cmake")
# The archive of the first release of that CMake (3.22 -> cmake-3.22.1.tar.gz, say).
cmake_archive=""
for archive in "$sources/cmake-$cmake_minimum".*.tar.gz; do
    [ -f "$archive" ] && [ -z "$cmake_archive" ] && cmake_archive=$archive
done
if [ -z "$cmake_archive" ]; then
    echo "test_from_source: no cmake-$cmake_minimum.*.tar.gz in $sources" >&2
    exit 1
fi
cmake_bin=$(sh "$root/scripts/lib/cmake_from_source.sh" "$cmake_archive")
sdl2=$(sh "$root/scripts/lib/unpack_source.sh" "$sources/SDL2-$sdl2_minimum.tar.gz")
PATH="$cmake_bin:$PATH"
export PATH
sh "$root/tests/presets.sh" cmake "$root"
sh "$root/scripts/lib/check_x11.sh" -B "$root/build/oldest" -DLESSONS_SDL2_FROM_SOURCE=ON \
    "-DFETCHCONTENT_SOURCE_DIR_SDL2=$sdl2"
