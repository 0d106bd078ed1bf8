#!/bin/sh
# Builds a CMake release from its upstream source archive, once, into the cache
# folder, and prints the folder holding its cmake and ctest. Its progress goes to
# standard error; its log is shown only when the build fails.
# Usage: cmake_from_source.sh <path to cmake-X.Y.Z.tar.gz>
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=common.sh
. "$root/scripts/lib/common.sh"
case ${1-} in -h | --help) usage; exit 0 ;; "" | -*) refuse "it needs the path of a cmake-X.Y.Z.tar.gz" ;; esac
[ "$#" -eq 1 ] || refuse "it takes one archive"
archive=$1
name=$(basename "$archive" .tar.gz)

"$root/scripts/lib/install_deps.sh" --for cmake-from-source >&2
prefix="$(cache_dir)/$name-gcc$(gcc -dumpfullversion)"
if [ -f "$prefix/.complete" ]; then
    echo "$prefix/bin"
    exit 0
fi
src=$(sh "$root/scripts/lib/unpack_source.sh" "$archive")
echo "== Building $name from its source into $prefix (some ten minutes; once)" >&2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# CMake's own bootstrap, with its bundled libraries and no TLS (the lessons' build
# downloads nothing through CMake itself: FetchContent uses git).
if ! { rm -rf "$prefix" &&
       (cd "$work" && "$src/bootstrap" --prefix="$prefix" --parallel=2 --no-qt-gui \
            -- -DCMAKE_BUILD_TYPE=Release -DCMAKE_USE_OPENSSL=OFF -DBUILD_TESTING=OFF) &&
       make -C "$work" -j2 &&
       make -C "$work" install; } >"$work/log" 2>&1; then
    tail -n 40 "$work/log" >&2
    echo "cmake_from_source: building $name failed" >&2
    exit 1
fi
touch "$prefix/.complete"
echo "$prefix/bin"
