#!/bin/sh
# The lessons in a web browser, checked: builds their pages as learners get them
# (the CMake preset "web", in build/web/), builds them again reading a resources
# folder with no file in it, together with the tests' own web programs (preset
# "web-test", in build/web-test/), and runs both in Debian's Chromium, driven by
# playwright-core (tests/web/test_web.mjs), served by the project's own server and
# by Python's. First, the project's server on its own (tests/web/serve_test.mjs) and
# its edit endpoint (tests/web/edit_test.mjs).
# Usage: test_web.sh
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/common.sh
. "$root/scripts/lib/common.sh"
no_arguments "$@"

"$root/scripts/lib/install_deps.sh" --for lessons --for web-tests --for browser
sh "$root/scripts/lib/build_web.sh" web
# The fixture's resources folder is empty, so nothing is packaged and its path is
# only text in the program: a short one, because SDL on the web keeps no more than
# 127 bytes of an error's text, and the reason must name the whole file.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/sem imagem/resources/images"
fixture="$root/build/web-test"
sh "$root/scripts/lib/build_web.sh" web-test -DLESSONS_RESOURCES_DIR="$scratch/sem imagem/resources/"
# lesson_check, and the native traced twins the pages' SDL calls are compared with.
sh "$root/scripts/lib/build.sh" trace

echo "== The web server: compression, caching, memory, and nothing served from outside its folder or to another host"
node --test --test-reporter=dot "$root/tests/web/serve_test.mjs"
echo "== Its edit endpoint: compiling an edited lesson, and what it refuses"
LESSONS_WEB_BUILD="$root/build/web" node --test --test-reporter=dot "$root/tests/web/edit_test.mjs"

echo "== Each lesson in Chromium"
timeout 900 node "$root/tests/web/test_web.mjs" "$root" "$root/build/web/bin" "$fixture/bin" \
    "$scratch/sem imagem/resources/images/hello_world.bmp" "$root/build/trace/bin/lesson_check" \
    "$scratch" "$root/build/trace/bin"
