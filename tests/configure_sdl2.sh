#!/bin/sh
# Configure refuses, saying why and what to do, every SDL2 the lessons cannot use:
# an installed SDL2 2.0.3 (known heap overflows), an SDL2 source older than
# 2.0.20, no SDL2 at all when building one from source is turned off, a download
# that fails, and a download whose release tag names another commit than the
# pinned one.
# Usage: configure_sdl2.sh <cmake> <source dir>
set -u
cmake=$1 source=$2
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
failures=0

# refused <case> <expected text>... -- <cmake options...>
refused() {
    name=$1
    shift
    expected=""
    while [ "$1" != -- ]; do
        expected="$expected
$1"
        shift
    done
    shift
    rm -rf "$work/build"
    if "$cmake" -S "$source" -B "$work/build" -DBUILD_TESTING=OFF "$@" >"$work/log" 2>&1; then
        echo "FAIL: $name: configure succeeded"
        failures=$((failures + 1))
        return
    fi
    printf '%s\n' "$expected" | while IFS= read -r text; do
        [ -n "$text" ] || continue
        if ! tr '\n' ' ' <"$work/log" | tr -s ' ' | grep -qF -e "$text"; then
            echo "FAIL: $name: the configure error does not say '$text':"
            cat "$work/log"
            exit 1
        fi
    done || { failures=$((failures + 1)); return; }
    echo "ok: $name"
}

refused "installed SDL2 2.0.3" "SDL2 2.0.3" "2.0.20 or newer" "CVE-2021-33657" \
    "-DLESSONS_SDL2_FROM_SOURCE=ON" -- -DSDL2_DIR="$source/tests/old-sdl2"

mkdir -p "$work/SDL2-2.0.18/include"
printf '#define SDL_MAJOR_VERSION   2\n#define SDL_MINOR_VERSION   0\n#define SDL_PATCHLEVEL      18\n' \
    >"$work/SDL2-2.0.18/include/SDL_version.h"
refused "SDL2 2.0.18 source" "SDL2 2.0.18 (built from $work/SDL2-2.0.18) is too old" \
    "2.0.20 or newer" -- -DLESSONS_SDL2_FROM_SOURCE=ON \
    -DFETCHCONTENT_SOURCE_DIR_SDL2="$work/SDL2-2.0.18"

refused "no SDL2, none to be built" "SDL2's CMake package was not found" \
    "LESSONS_SDL2_FROM_SOURCE is OFF" "libsdl2-dev" "-DLESSONS_SDL2_FROM_SOURCE=AUTO" \
    -- -DLESSONS_SDL2_FROM_SOURCE=OFF -DCMAKE_DISABLE_FIND_PACKAGE_SDL2=ON

# Downloading takes git.
if ! command -v git >/dev/null 2>&1; then
    echo "FAIL: git is not installed, so a download cannot be checked (Debian package git)"
    exit 1
fi

# A download that fails (no network, say) names the way to build offline.
refused "failed download" "downloading release-2.32.10" "Failed to clone repository" \
    "set FETCHCONTENT_SOURCE_DIR_SDL2 to an unpacked SDL2 source" \
    -- -DLESSONS_SDL2_FROM_SOURCE=ON -DLESSONS_SDL2_REPOSITORY="file://$work/no such repository"

# A repository whose release tag was moved to a commit of someone else's making.
repo="$work/moved tag (SDL)"
git init -q "$repo" &&
    cp -R "$work/SDL2-2.0.18/include" "$repo/" &&
    git -C "$repo" add . &&
    git -C "$repo" -c user.name=x -c user.email=x@x commit -qm moved &&
    git -C "$repo" tag release-2.32.10 || exit 1
refused "moved release tag" "names commit '$(git -C "$repo" rev-parse HEAD)'" \
    "not 5d249570393f7a37e037abf22cd6012a4cc56a71" -- -DLESSONS_SDL2_FROM_SOURCE=ON \
    -DLESSONS_SDL2_REPOSITORY="file://$repo"
exit "$failures"
