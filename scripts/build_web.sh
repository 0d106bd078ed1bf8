#!/bin/sh
# Builds the lessons for the web (Emscripten) in <build dir>, against SDL2 built
# once from Debian's SDL2 source package and cached (scripts/sdl2_for.sh): each
# lesson's page is <build dir>/bin/<lesson>.html, and bin/index.html lists them all.
# Usage: build_web.sh <build dir> [cmake options...]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
shift

"$root/scripts/install_deps.sh" cmake make emscripten
sdl2=$(sh "$root/scripts/sdl2_for.sh" emscripten | tail -n 1)
echo "== Building the lessons for the web (Emscripten) in $dir"
sh "$root/scripts/build.sh" "$dir" \
    -DCMAKE_TOOLCHAIN_FILE="$(em-config EMSCRIPTEN_ROOT)/cmake/Modules/Platform/Emscripten.cmake" \
    -DSDL2_DIR="$sdl2/lib/cmake/SDL2" -DLESSONS_WERROR=ON "$@"
