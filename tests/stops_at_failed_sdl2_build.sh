#!/bin/sh
# When building SDL2 for the web fails, its script stops at once and shows that
# build's own error, rather than go on to a confusing CMake error.
# Runs a copy of the scripts with SDL2's build made to fail and nothing installed.
# Usage: stops_at_failed_sdl2_build.sh <source dir>
set -u
source=$1
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/scripts"
cp -R "$source/scripts/lib" "$work/scripts/" || exit 1
printf '#!/bin/sh\nexit 0\n' >"$work/scripts/lib/install_deps.sh"
printf '#!/bin/sh\necho "SDL2: the compiler was struck by lightning" >&2\nexit 1\n' \
    >"$work/scripts/lib/sdl2_for.sh"

status=0
if output=$(sh "$work/scripts/lib/build_web.sh" web 2>&1); then
    echo "FAIL: build_web.sh succeeded although SDL2's build failed"
    status=1
fi
case $output in
*"struck by lightning"*) ;;
*) echo "FAIL: build_web.sh did not show SDL2's error:"; echo "$output"; status=1 ;;
esac
case $output in
*"== Building"* | *"== Installing"*) echo "FAIL: build_web.sh went on after SDL2's build failed:"; echo "$output"; status=1 ;;
esac
[ "$status" -ne 0 ] || echo "ok: build_web.sh stops at SDL2's own error"
exit "$status"
