#!/bin/sh
# Off Debian, the scripts stop before they do harm, and say why:
# - on a system without apt-get, the install step installs nothing: it names the
#   packages it needed and a section of docs/building.md that exists, and stops with
#   status 2, so that the script stops too instead of failing later for want of them;
# - where no Debian archive is found among apt's sources (Ubuntu's, say),
#   sdl2_for.sh writes no deb-src entry it could not fill, and stops.
# Usage: scripts_off_debian.sh <source dir>
set -u
source=$1
status=0
# A PATH with every command of this machine but Debian's package tools.
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
ln -s /usr/bin/* "$work/bin/" || exit 1
rm -f "$work/bin/apt" "$work/bin/apt-get" "$work/bin/apt-cache" "$work/bin/dpkg" "$work/bin/dpkg-query"

output=$(env -i PATH="$work/bin" HOME="$work" /bin/sh "$source/scripts/lib/install_deps.sh" g++ libsdl2-dev xvfb 2>&1)
code=$?
[ "$code" -eq 2 ] || { echo "FAIL: install_deps.sh without apt-get exited $code, not 2"; status=1; }
case $output in
*"g++ libsdl2-dev xvfb"*) ;;
*) echo "FAIL: install_deps.sh does not name the packages it needed: $output"; status=1 ;;
esac
section=$(printf '%s\n' "$output" | sed -n 's/.*See "\([^"]*\)" in docs\/building.md.*/\1/p')
if [ -z "$section" ] || ! grep -q "^#\{1,4\} $section\$" "$source/docs/building.md"; then
    echo "FAIL: install_deps.sh points to no section of docs/building.md: $output"
    status=1
fi

# A script that installs before it builds stops at that step.
output=$(env -i PATH="$work/bin" HOME="$work" /bin/sh "$source/scripts/run_lessons.sh" 2>&1)
code=$?
[ "$code" -ne 0 ] || { echo "FAIL: run_lessons.sh without apt-get succeeded"; status=1; }
case $output in
*"nothing was installed"*) ;;
*) echo "FAIL: run_lessons.sh without apt-get did not say so: $output"; status=1 ;;
esac
# sdl2_for.sh, copied, with the archive lookup failing and apt-get, tee and emcc
# standing in for the real ones (so /etc/apt is never touched, whatever it does).
mkdir -p "$work/scripts" "$work/stand-ins"
cp -R "$source/scripts/lib" "$work/scripts/" || exit 1
printf '#!/bin/sh\nexit 0\n' >"$work/scripts/lib/install_deps.sh"
printf 'debian_mirror() { echo "found no Debian archive" >&2; return 1; }\n' >>"$work/scripts/lib/common.sh"
for command in apt-get tee; do
    printf '#!/bin/sh\necho "%s $*" >>"%s/called"\n' "$command" "$work" >"$work/stand-ins/$command"
done
printf '#!/bin/sh\necho "emcc (Emscripten) 3.1.6 (stand-in)"\n' >"$work/stand-ins/emcc"
chmod +x "$work/stand-ins"/*
output=$(PATH="$work/stand-ins:$PATH" sh "$work/scripts/lib/sdl2_for.sh" emscripten 2>&1)
code=$?
[ "$code" -ne 0 ] || { echo "FAIL: sdl2_for.sh succeeded without a Debian archive"; status=1; }
case $output in
*"/etc/apt is unchanged"*) ;;
*) echo "FAIL: sdl2_for.sh did not say why it stopped: $output"; status=1 ;;
esac
if grep -v "apt-get indextargets" "$work/called" 2>/dev/null | grep -q .; then
    echo "FAIL: sdl2_for.sh went on without a Debian archive:"
    cat "$work/called"
    status=1
fi
[ "$status" -ne 0 ] || echo "ok: without apt-get, or without a Debian archive, the scripts stop and say why"
exit "$status"
