#!/bin/sh
# The lessons in a web browser, checked: builds them for the web (build/web/),
# builds lesson02 again reading a resources folder with no file in it, together
# with the tests' own web programs (build/web-fixture/), and runs both in Debian's
# Chromium, driven by playwright-core (tests/web/test_web.mjs).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install_deps.sh" g++ make cmake libsdl2-dev libpng-dev chromium nodejs
command -v npm >/dev/null 2>&1 || "$root/scripts/install_deps.sh" npm
sh "$root/scripts/build_web.sh" web
# The fixture's resources folder is empty, so nothing is packaged and its path is
# only text in the program: a short one, because SDL on the web keeps no more than
# 127 bytes of an error's text, and the reason must name the whole file.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/sem imagem/resources/images"
fixture="$root/build/web-test"
sh "$root/scripts/build_web.sh" web-test -DLESSONS_RESOURCES_DIR="$scratch/sem imagem/resources/"
# lesson_check, from the plain native build.
LESSONS_BUILD_TARGET=lesson_check sh "$root/scripts/build.sh" native

echo "== Installing playwright-core for the browser tests (no browser is downloaded)"
log=$(mktemp)
if ! (cd "$root/tests/web" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund) \
        >"$log" 2>&1; then
    cat "$log"
    exit 1
fi
rm -f "$log"

echo "== Each lesson in Chromium"
timeout 600 node "$root/tests/web/test_web.mjs" "$root/build/web/bin" "$fixture/bin" \
    "$scratch/sem imagem/resources/images/hello_world.bmp" "$root/build/native/bin/lesson_check" \
    "$scratch"
