#!/bin/sh
# Builds SDL2 for the web (Emscripten) from Debian's own SDL2 source package
# (fetched with `apt-get source`, which checks it against the signed archive) and
# installs it, CMake package files included, into a cache folder outside the
# checkout. Later runs reuse it: the folder is keyed on the SDL2 version, the
# compiler and the build's options. Prints the install folder on standard output, and its progress on
# standard error.
# (SDL2 is not built from source with the web pages, as it is for Linux and
# Windows: the release the build pins, 2.32.10, needs a newer Emscripten than
# Debian's 3.1.6 (it stops at EM_JS_DEPS), and SDL2's configure, some hundreds of
# checks each starting Emscripten's compiler, takes a quarter of an hour per
# build folder.)
# Usage: sdl2_for.sh emscripten
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=common.sh
. "$root/scripts/lib/common.sh"
case ${1-} in
-h | --help) usage; exit 0 ;;
emscripten) [ "$#" -eq 1 ] || refuse "it takes one platform" ;;
*) refuse "unknown platform '${1-}' (emscripten)" ;;
esac
platform=$1
"$root/scripts/lib/install_deps.sh" --for sdl2-web >&2
compiler="emscripten-$(emcc --version 2>/dev/null | sed -n '1s/.* \([0-9][0-9.]*\) .*/\1/p')"

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# apt-get source needs a deb-src entry: add one for this release's main archive,
# once everything it needs is known, and take it away again if apt cannot use it.
if ! apt-get indextargets 2>/dev/null | grep -q '^Identifier: Sources'; then
    entry=/etc/apt/sources.list.d/sdl-lessons-src.sources
    keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    # shellcheck source=/dev/null # the system's own file, read for its codename
    codename=$( (. /etc/os-release && echo "${VERSION_CODENAME:-}") 2>/dev/null || true)
    if ! mirror=$(debian_mirror) || [ -z "$mirror" ] ||
        [ -z "$codename" ] || [ ! -f "$keyring" ]; then
        echo "sdl2_for: cannot add a deb-src entry for Debian's SDL2 source package here" \
            "(archive '${mirror:-}', release '$codename', keyring $keyring); /etc/apt is" \
            "unchanged. Enable deb-src for your system's archive, then run again." >&2
        exit 1
    fi
    echo "== Adding a deb-src entry for Debian's SDL2 source package" >&2
    printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: %s\n' \
        "$mirror" "$codename" "$keyring" | $sudo tee "$entry" >/dev/null
    if ! $sudo apt-get update -qq >/dev/null; then
        $sudo rm -f "$entry"
        echo "sdl2_for: apt-get update failed with the deb-src entry; it is removed again" >&2
        exit 1
    fi
fi
version=$(apt-cache showsrc libsdl2 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -n 1)
if [ -z "$version" ]; then
    $sudo apt-get update -qq >/dev/null
    version=$(apt-cache showsrc libsdl2 | sed -n 's/^Version: //p' | sort -V | tail -n 1)
fi

# What the lessons use: video, events, files, timers and SDL's renderer (drawing
# in software on the page's canvas). Every other part of SDL (audio, joystick,
# haptic, sensors, threads, OpenGL, ...) would only add to each page's download;
# a lesson links only what it calls, so one that draws on its window's surface
# downloads none of the renderer (measured: lesson01's program is the same size,
# 2 bytes apart). SDL_LEAN_AND_MEAN leaves out the blitters specialised for speed;
# the generic one converts the lessons' pictures exactly alike. It would leave out
# the software renderer too, the only one a page without OpenGL has: that is kept.
# Built for size (-Oz), static, as a web program links it, and position-independent,
# as the program an edited lesson is loaded into (MAIN_MODULE) needs: that adds
# nothing to a lesson's own program once linked.
set -- -DSDL_SHARED=OFF -DSDL_TEST=OFF -DSDL_AUDIO=OFF -DSDL_RENDER=ON -DSDL_JOYSTICK=OFF \
    -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_POWER=OFF -DSDL_THREADS=OFF -DSDL_SENSOR=OFF \
    -DSDL_LOCALE=OFF -DSDL_MISC=OFF -DSDL_FILESYSTEM=OFF -DSDL_LOADSO=OFF -DSDL_OPENGL=OFF \
    -DSDL_OPENGLES=OFF -DSDL_DUMMYVIDEO=OFF -DCMAKE_BUILD_TYPE=MinSizeRel \
    "-DCMAKE_C_FLAGS_MINSIZEREL=-Oz -DNDEBUG" "-DCMAKE_C_FLAGS=-DSDL_LEAN_AND_MEAN=1 -DSDL_VIDEO_RENDER_SW=1 -fPIC"
key=$(printf '%s\n' "$@" | cksum | cut -d ' ' -f 1)
prefix="$(cache_dir)/sdl2-$version-$compiler-$key"
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

echo "== Building SDL2 $version for $platform ($compiler) into $prefix (a few minutes; once)" >&2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log="$work/log"
if ! {
    (cd "$work" && apt-get source -qq "libsdl2=$version") &&
        src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'libsdl2-*' | head -n 1) &&
        rm -rf "$prefix" &&
        emcmake cmake -S "$src" -B "$work/build" -DCMAKE_INSTALL_PREFIX="$prefix" "$@" &&
        cmake --build "$work/build" --parallel 2 &&
        cmake --install "$work/build"
} >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "sdl2_for: building SDL2 for $platform failed" >&2
    exit 1
fi
touch "$prefix/.complete"
echo "$prefix"
