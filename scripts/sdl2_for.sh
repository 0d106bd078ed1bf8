#!/bin/sh
# Builds SDL2 for another platform from Debian's own SDL2 source package (fetched
# with `apt-get source`, which checks it against the signed archive) and installs
# it, CMake package files included, into a cache folder outside the checkout.
# Later runs reuse it: the folder is keyed on the SDL2 version and the compiler.
# Prints the install folder on standard output, and its progress on standard error.
# Usage: sdl2_for.sh mingw|emscripten
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
platform=${1:?usage: sdl2_for.sh mingw|emscripten}

case $platform in
mingw)
    "$root/scripts/install_deps.sh" dpkg-dev cmake make g++-mingw-w64-x86-64 >&2
    compiler="mingw-$(x86_64-w64-mingw32-gcc -dumpfullversion)"
    ;;
emscripten)
    "$root/scripts/install_deps.sh" dpkg-dev cmake make emscripten >&2
    compiler="emscripten-$(emcc --version 2>/dev/null | sed -n '1s/.* \([0-9][0-9.]*\) .*/\1/p')"
    ;;
*) echo "sdl2_for: unknown platform '$platform' (mingw or emscripten)" >&2; exit 2 ;;
esac

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# apt-get source needs a deb-src entry: add one for this release's main archive.
if ! apt-get indextargets 2>/dev/null | grep -q '^Identifier: Sources'; then
    . /etc/os-release
    echo "== Adding a deb-src entry for Debian's SDL2 source package" >&2
    $sudo tee /etc/apt/sources.list.d/sdl-lessons-src.sources >/dev/null <<EOF
Types: deb-src
URIs: $(sh "$root/scripts/debian_mirror.sh")
Suites: $VERSION_CODENAME
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    $sudo apt-get update -qq >/dev/null
fi
version=$(apt-cache showsrc libsdl2 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -n 1)
if [ -z "$version" ]; then
    $sudo apt-get update -qq >/dev/null
    version=$(apt-cache showsrc libsdl2 | sed -n 's/^Version: //p' | sort -V | tail -n 1)
fi

cache=${LESSONS_CACHE:-${XDG_CACHE_HOME:-${HOME:-/root}/.cache}/sdl-lessons}
prefix="$cache/sdl2-$version-$compiler"
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

echo "== Building SDL2 $version for $platform ($compiler) into $prefix (a few minutes; once)" >&2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log="$work/log"
set -- -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DSDL_TEST=OFF
if ! {
    (cd "$work" && apt-get source -qq "libsdl2=$version") &&
        src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'libsdl2-*' | head -n 1) &&
        rm -rf "$prefix" &&
        case $platform in
        mingw)
            cmake -S "$src" -B "$work/build" "$@" -DSDL_STATIC=OFF \
                -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
            ;;
        emscripten)
            emcmake cmake -S "$src" -B "$work/build" "$@"
            ;;
        esac &&
        cmake --build "$work/build" --parallel 2 &&
        cmake --install "$work/build"
} >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "sdl2_for: building SDL2 for $platform failed" >&2
    exit 1
fi
touch "$prefix/.complete"
echo "$prefix"
