#!/bin/sh
# Quick start, part two: installs what the tests need and runs everything CI
# checks: a build with warnings as errors and the whole suite, then a build with
# AddressSanitizer and UndefinedBehaviorSanitizer and the suite again (the CMake
# presets "test" and "sanitize").
# Usage: test.sh
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/common.sh
. "$root/scripts/lib/common.sh"
no_arguments "$@"

"$root/scripts/lib/install_deps.sh" --for lessons --for tests
# ESLint and Prettier, for the JavaScript, kept in the cache outside the checkout.
sh "$root/scripts/lib/npm_ci.sh" --cache "$root/tools/lint" "the linters (ESLint, Prettier)" >/dev/null

suite() { # <preset>
    sh "$root/scripts/lib/build.sh" "$1"
    (cd "$root" && ctest --preset "$1")
}

echo "== Build with warnings as errors, and the test suite"
suite test
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build, and the test suite"
suite sanitize
