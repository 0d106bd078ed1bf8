#!/bin/sh
# Quick start, part two: installs what the tests need and runs everything CI
# checks: a build with warnings as errors and the whole suite, then a build with
# AddressSanitizer and UndefinedBehaviorSanitizer and the suite again.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install_deps.sh" g++ make cmake libsdl2-dev libgtest-dev valgrind clang-format \
    libpng-dev xvfb

suite() { # <build dir> <cmake options...>
    dir="$1"
    shift
    sh "$root/scripts/build.sh" "$dir" -DBUILD_TESTING=ON -DLESSONS_WERROR=ON "$@"
    (cd "$dir" && ctest --output-on-failure --parallel 2)
}

echo "== Build with warnings as errors, and the test suite"
suite "$root/build/test" -DLESSONS_SANITIZE=OFF
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build, and the test suite"
suite "$root/build/sanitize" -DLESSONS_SANITIZE=ON
