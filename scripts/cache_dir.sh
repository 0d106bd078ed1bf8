#!/bin/sh
# Prints the folder, outside the checkout, where slow third-party builds are kept
# (SDL2 for other platforms, CMake, unpacked sources, chroots): $LESSONS_CACHE, or
# sdl-lessons/ in the user's cache folder. Delete it to start from cold.
echo "${LESSONS_CACHE:-${XDG_CACHE_HOME:-${HOME:-/root}/.cache}/sdl-lessons}"
