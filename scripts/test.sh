#!/bin/sh
# Quick start, part two: installs what the tests need and runs everything CI
# checks: a build with warnings as errors and the whole suite, then a build with
# AddressSanitizer and UndefinedBehaviorSanitizer and the suite again (the CMake
# presets "test" and "sanitize").
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install_deps.sh" g++ make cmake git libsdl2-dev libgtest-dev valgrind clang-format \
    shellcheck python3 libpng-dev xvfb weston procps

suite() { # <preset>
    sh "$root/scripts/build.sh" "$1"
    (cd "$root" && ctest --preset "$1")
}

echo "== Build with warnings as errors, and the test suite"
suite test
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build, and the test suite"
suite sanitize
