#!/bin/sh
# Remakes docs/screenshots/<lesson>.png: runs each lesson on a virtual X server
# and photographs its window during the hold. The X server test compares every
# lesson against its screenshot, so run this after changing what a lesson shows.
# Then writes the README's table of lessons from their opening comments.
# Usage: screenshots.sh [output dir]   (default: docs/screenshots)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/common.sh
. "$root/scripts/lib/common.sh"
case ${1-} in -h | --help) usage; exit 0 ;; -*) refuse "unknown option '$1'" ;; esac
[ "$#" -le 1 ] || refuse "it takes one output folder at most"
out=${1:-"$root/docs/screenshots"}
build="$root/build/native"

"$root/scripts/lib/install_deps.sh" --for lessons --for headless
sh "$root/scripts/lib/build.sh" native
# shellcheck disable=SC2046 # one word per lesson: their names have no spaces
SDL_VIDEODRIVER=x11 sh "$root/scripts/lib/with_xvfb.sh" sh "$root/scripts/lib/shoot_lessons.sh" \
    "$build/bin" "$out" $(lessons)
LESSONS_BUILD_TARGET=doc_tables sh "$root/scripts/lib/build.sh" native
echo "The table of lessons: $root/README.md"
