#!/bin/sh
# Installs whichever of the Debian/Ubuntu packages named on the command line are
# missing, through apt-get (with sudo when not root). Says nothing when none is.
# On a system without apt-get it installs nothing: it names the packages and the
# README section for that system, and stops with status 2, unless
# LESSONS_SKIP_INSTALL=1 says that you have installed their equivalents yourself.
set -eu

if ! command -v apt-get >/dev/null 2>&1 || ! command -v dpkg-query >/dev/null 2>&1; then
    [ "${LESSONS_SKIP_INSTALL:-}" != 1 ] || exit 0
    system=$(uname -s 2>/dev/null || echo unknown)
    case $system in
    Darwin) section="macOS" ;;
    MINGW* | MSYS* | CYGWIN*) section="Windows with MSYS2 (MinGW-w64)" ;;
    *)
        # shellcheck source=/dev/null # the system's own file, read for its ID
        id=$( (. /etc/os-release 2>/dev/null && echo "${ID:-} ${ID_LIKE:-}") || true)
        case " $id " in
        *" fedora "* | *" rhel "*) section="Fedora" ;;
        *" arch "*) section="Arch Linux" ;;
        *) section="Building on your system" ;;
        esac
        ;;
    esac
    echo "No apt-get here, so nothing was installed. This step needs these Debian packages," \
        "or your system's equivalents: $*. See \"$section\" in README.md; once they are" \
        "installed, run again with LESSONS_SKIP_INSTALL=1." >&2
    exit 2
fi
[ "${LESSONS_SKIP_INSTALL:-}" != 1 ] || exit 0

missing=""
for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $package"
    fi
done
[ -n "$missing" ] || exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing:$missing (with apt-get; this can take a few minutes)"
log=$(mktemp)
# shellcheck disable=SC2086 # one word per package
if ! { $sudo apt-get update -qq &&
       $sudo env DEBIAN_FRONTEND=noninteractive \
           apt-get install -y -qq --no-install-recommends $missing; } >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "Could not install:$missing" >&2
    exit 1
fi
rm -f "$log"
