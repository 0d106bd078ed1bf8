#!/bin/sh
# The lessons in web browsers, checked: builds their pages as learners get them (the
# CMake preset "web", in build/web/), builds them again reading a resources folder
# with no file in it, with the tests' own programs and example lessons of each kind
# (preset "web-test", in build/web-test/), and checks them in Debian's Chromium,
# Firefox ESR and WebKitGTK (tests/web/pages_test.mjs, on a virtual X server for
# WebKitGTK), served by the project's own server and by Python's. First, the
# project's server on its own (tests/web/serve_test.mjs), and a copy of the
# project's pages rebuilt after a change (tests/web/pages_rebuilt.sh).
# Usage: test_web.sh
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/common.sh
. "$root/scripts/lib/common.sh"
no_arguments "$@"

"$root/scripts/lib/install_deps.sh" --for lessons --for web-tests --for browser --for headless
sh "$root/scripts/lib/build_web.sh" web
# The fixture's resources folder is empty, so nothing is packaged: the lesson that
# reads an image finds it missing.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/sem imagem/resources/images"
sh "$root/scripts/lib/build_web.sh" web-test -DLESSONS_RESOURCES_DIR="$scratch/sem imagem/resources/"
# lesson_check, and the native traced twins the pages' SDL calls are compared with.
sh "$root/scripts/lib/build.sh" trace

echo "== The web server: compression, caching, memory, and nothing served from outside its folder or to another host"
node --test --test-reporter=tap "$root/tests/web/serve_test.mjs"
echo "== The pages rebuilt when what they are made from changes"
sh "$root/tests/web/pages_rebuilt.sh" "$root"
echo "== Each lesson's page in Chromium, Firefox ESR and WebKitGTK"
LESSONS_ROOT="$root" LESSONS_WEB_BIN="$root/build/web/bin" LESSONS_WEB_FIXTURE_BIN="$root/build/web-test/bin" \
    LESSONS_CHECK="$root/build/trace/bin/lesson_check" LESSONS_NATIVE_BIN="$root/build/trace/bin" \
    LESSONS_SCRATCH="$scratch" timeout 2400 sh "$root/scripts/lib/with_xvfb.sh" \
    node --test --test-reporter=tap --test-concurrency=1 "$root/tests/web/pages_test.mjs"
