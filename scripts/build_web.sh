#!/bin/sh
# Builds the lessons for the web (Emscripten) through a web preset of
# CMakePresets.json, against SDL2 built once from Debian's SDL2 source package and
# cached (scripts/sdl2_for.sh): each lesson's page is <build dir>/bin/<lesson>.html,
# and bin/index.html lists them all.
# Usage: build_web.sh <web preset> [-B <build dir>] [cmake -D options...]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install_deps.sh" cmake make emscripten python3 python3-pygments
# The presets read SDL2's and Emscripten's folders, and the Closure Compiler's, from here. A failed SDL2 build
# stops this script at once, with that build's own error.
LESSONS_SDL2_WEB=$(sh "$root/scripts/sdl2_for.sh" emscripten) || exit 1
EMSCRIPTEN_ROOT=$(em-config EMSCRIPTEN_ROOT) || exit 1
export LESSONS_SDL2_WEB EMSCRIPTEN_ROOT
# The Closure Compiler release Emscripten 3.1.6 is made for (web/package.json),
# installed once into the cache, outside the checkout.
closure=$(sh "$root/scripts/npm_ci.sh" --cache "$root/web" "the Closure Compiler for the pages' JavaScript")
LESSONS_CLOSURE_COMPILER="$closure/node_modules/.bin/google-closure-compiler"
export LESSONS_CLOSURE_COMPILER
echo "== Building the lessons for the web (Emscripten, preset $1)"
sh "$root/scripts/build.sh" "$@"
