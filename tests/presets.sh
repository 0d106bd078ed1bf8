#!/bin/sh
# CMakePresets.json parses with the CMake under test, offers on Linux exactly the
# Linux presets (those for Visual Studio and Xcode only on their own systems), and
# states the same minimum CMake as CMakeLists.txt; the README names the same
# minimum CMake and SDL2 as the build; no preset's description names a compiler
# flag, which the build sets elsewhere (cmake/Lessons.cmake) and would outlive.
# Usage: presets.sh <cmake> <source dir>
set -u
cmake=$1 source=$2
status=0
fail() {
    echo "FAIL: $*"
    status=1
}

if ! listed=$(cd "$source" && "$cmake" --list-presets=all 2>&1); then
    fail "$cmake cannot read CMakePresets.json:"
    echo "$listed"
fi
configure=$(echo "$listed" | sed -n '/^Available configure presets/,/^Available/s/^  "\([^"]*\)".*/\1/p' | tr '\n' ' ')
expected="native test sanitize trace benchmark windows web web-test web-benchmark "
[ "$configure" = "$expected" ] || fail "configure presets offered here: '$configure', expected '$expected'"

cmake_minimum=$(sed -n 's/^cmake_minimum_required(VERSION \([0-9]*\.[0-9]*\))$/\1/p' "$source/CMakeLists.txt")
presets_minimum=$(tr -d ' \n' <"$source/CMakePresets.json" |
    sed -n 's/.*"cmakeMinimumRequired":{"major":\([0-9]*\),"minor":\([0-9]*\).*/\1.\2/p')
sdl2_minimum=$(sed -n 's/^set(LESSONS_SDL2_MINIMUM \([0-9.]*\))$/\1/p' "$source/cmake/SDL2.cmake")
if [ -z "$cmake_minimum" ] || [ "$cmake_minimum" != "$presets_minimum" ]; then
    fail "CMakeLists.txt asks for CMake '$cmake_minimum', CMakePresets.json for '$presets_minimum'"
fi
grep -q "CMake $cmake_minimum or newer" "$source/README.md" ||
    fail "the README does not say 'CMake $cmake_minimum or newer'"
grep -q "SDL2 $sdl2_minimum or newer" "$source/README.md" ||
    fail "the README does not say 'SDL2 $sdl2_minimum or newer'"
if grep -nE '"description": "[^"]*[ (](-O[0-9sz]?|-f[a-z-]+|-s[A-Z_]+)' "$source/CMakePresets.json"; then
    fail "a preset's description above names a compiler flag: say what it builds, not how"
fi
[ "$status" -ne 0 ] || echo "ok: presets read by $("$cmake" --version | head -n 1); minimums CMake $cmake_minimum, SDL2 $sdl2_minimum"
exit "$status"
