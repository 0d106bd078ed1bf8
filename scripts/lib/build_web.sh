#!/bin/sh
# Builds the lessons for the web (Emscripten) through a web preset of
# CMakePresets.json, against SDL2 built once from Debian's SDL2 source package and
# cached (scripts/lib/sdl2_for.sh): each lesson's page is <build dir>/bin/<lesson>.html,
# and bin/index.html lists them all.
# Usage: build_web.sh <web preset> [-B <build dir>] [cmake -D options...]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=common.sh
. "$root/scripts/lib/common.sh"
case ${1-} in
-h | --help) usage; exit 0 ;;
web | web-*) ;;
*) refuse "it needs a web preset first (web, web-test, web-benchmark), not '${1-}'" ;;
esac

"$root/scripts/lib/install_deps.sh" --for web
# The presets read SDL2's and Emscripten's folders, and the Closure Compiler's, from
# here. A failed SDL2 build stops this script at once, with that build's own error.
LESSONS_SDL2_WEB=$(sh "$root/scripts/lib/sdl2_for.sh" emscripten) || exit 1
EMSCRIPTEN_ROOT=$(em-config EMSCRIPTEN_ROOT) || exit 1
export LESSONS_SDL2_WEB EMSCRIPTEN_ROOT
# The Closure Compiler release Emscripten 3.1.6 is made for, with the pages' other
# npm packages (web/package.json).
sh "$root/scripts/lib/npm_ci.sh" "$root/web" "the web pages' npm packages"
LESSONS_CLOSURE_COMPILER="$root/web/node_modules/.bin/google-closure-compiler"
# The compressed forms of the pages' big files (the in-page compiler's), made once.
LESSONS_COMPRESSED_CACHE="$(cache_dir)/compressed"
export LESSONS_CLOSURE_COMPILER LESSONS_COMPRESSED_CACHE
echo "== Building the lessons for the web (Emscripten, preset $1)"
sh "$root/scripts/lib/build.sh" "$@"
