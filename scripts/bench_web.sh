#!/bin/sh
# The web benchmark: builds the lessons' pages and a page for each floor program
# in bench/ (the CMake preset "web-benchmark", in build/web-benchmark/), then loads
# each cold in Chromium and compares each lesson's page with its floor's
# (bench/bench_web.mjs): bytes downloaded, and the time to the first frame.
# Usage: bench_web.sh [loads]   (bench/bench_web.mjs holds the default; the medians are printed)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/common.sh
. "$root/scripts/lib/common.sh"
case ${1-} in -h | --help) usage; exit 0 ;; -*) refuse "unknown option '$1'" ;; esac
[ "$#" -le 1 ] || refuse "it takes one number of loads at most"
case ${1-1} in "" | *[!0-9]* | 0) refuse "the number of loads is a whole number, 1 or more, not '$1'" ;; esac

sh "$root/scripts/lib/build_web.sh" web-benchmark
"$root/scripts/lib/install_deps.sh" --for browser
sh "$root/scripts/lib/npm_ci.sh" "$root/web" "the web pages' npm packages"
echo "== Loading each page, cold, again and again"
node "$root/bench/bench_web.mjs" "$root/build/web-benchmark/bin" "$@"
