#!/bin/sh
# The web benchmark: builds the lessons' pages and a page for each floor program
# in bench/ (the CMake preset "web-benchmark", in build/web-benchmark/), then loads
# each cold in Chromium and compares each lesson's page with its floor's
# (bench/bench_web.mjs): bytes downloaded, and the time to the first frame.
# Usage: bench_web.sh [loads]   (bench/bench_web.mjs holds the default; the medians are printed)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

sh "$root/scripts/build_web.sh" web-benchmark
sh "$root/scripts/playwright.sh"
echo "== Loading each page, cold, again and again"
node "$root/bench/bench_web.mjs" "$root/build/web-benchmark/bin" "$@"
