#!/bin/sh
# Unpacks an upstream release's source archive (as `git archive` of its tag makes
# it) into the cache folder, once, after checking it is exactly that release, and
# prints the unpacked folder: for building offline, e.g. SDL2 through CMake's
# FETCHCONTENT_SOURCE_DIR_SDL2.
# Usage: unpack_source.sh <path to SDL2-2.32.10.tar.gz, SDL2-2.0.20.tar.gz or cmake-3.22.1.tar.gz>
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=common.sh
. "$root/scripts/lib/common.sh"
case ${1-} in -h | --help) usage; exit 0 ;; "" | -*) refuse "it needs the path of an archive" ;; esac
[ "$#" -eq 1 ] || refuse "it takes one archive"
archive=$1
name=$(basename "$archive" .tar.gz)

# The archives this project builds from, each pinned to its upstream tag.
case $name in
SDL2-2.32.10) expected=d84fc17da77f7a7e0b99553f04befc3c0502839dec3ee129864d777bedce2f47 ;; # release-2.32.10
SDL2-2.0.20) expected=27eb476546516fd84715ab0ca50a46dde2cf937cc5f3f89025b812c9642d06ee ;;  # release-2.0.20
cmake-3.22.1) expected=1784194b1aef381fba0ffd44eec9f04065c30f1ec902c3c1fef6343f20dbcc59 ;; # v3.22.1
*) echo "unpack_source: no pinned release is named '$name'" >&2; exit 2 ;;
esac

dir="$(cache_dir)/sources"
if [ -f "$dir/$name/.complete" ]; then
    echo "$dir/$name"
    exit 0
fi
if [ ! -f "$archive" ]; then
    echo "unpack_source: $archive does not exist" >&2
    exit 1
fi
actual=$(sha256sum "$archive" | cut -d ' ' -f 1)
if [ "$actual" != "$expected" ]; then
    echo "unpack_source: $archive is not the pinned $name (sha256 $actual, expected $expected)" >&2
    exit 1
fi
rm -rf "${dir:?}/$name"
mkdir -p "$dir"
tar -xzf "$archive" -C "$dir"
if [ ! -d "$dir/$name" ]; then
    echo "unpack_source: $archive did not hold the folder $name" >&2
    exit 1
fi
touch "$dir/$name/.complete"
echo "$dir/$name"
