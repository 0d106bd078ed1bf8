#!/bin/sh
# Installs whichever of the Debian/Ubuntu packages named are missing, through
# apt-get (with sudo when not root). Says nothing when none is. The packages are
# named one by one, or by what they are for: --for <task> takes the packages of
# that row of scripts/lib/packages.tsv, the one list of what each script installs
# (docs/packages.md shows it).
# On a system without apt-get it installs nothing: it names the packages and the
# section of docs/building.md for that system, and stops with status 2, unless
# LESSONS_SKIP_INSTALL says that you have installed their equivalents yourself
# (1, yes, true or on, in any case; 0, no, false, off or nothing to install).
# Usage: install_deps.sh [--for <task>]... [package]...
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=common.sh
. "$root/scripts/lib/common.sh"

table="$root/scripts/lib/packages.tsv"
# The tasks: the first column of the table, under its heading.
tasks() {
    awk -F '\t' 'NR > 1 { printf "%s ", $1 }' "$table"
}

packages=""
while [ "$#" -gt 0 ]; do
    case $1 in
    -h | --help) usage; exit 0 ;;
    --for)
        [ "$#" -ge 2 ] || refuse "--for needs a task, one of: $(tasks)"
        row=$(awk -F '\t' -v task="$2" 'NR > 1 && $1 == task { print $3 }' "$table")
        [ -n "$row" ] || refuse "scripts/lib/packages.tsv has no task '$2'; its tasks: $(tasks)"
        packages="$packages $row"
        shift 2
        continue
        ;;
    -*) refuse "'$1' is not a Debian package name: no package name starts with '-'" ;;
    esac
    # Debian's rule: lower-case letters, digits, '+', '-' and '.', starting with a
    # letter or digit, at least two characters. Anything else would reach apt-get
    # as an option, a pattern or nothing at all.
    case $1 in
    "") refuse "an empty package name" ;;
    [![:lower:][:digit:]]*) refuse "'$1' is not a Debian package name: it starts with a letter or digit" ;;
    *[![:lower:][:digit:]+.-]*) refuse "'$1' is not a Debian package name: only a-z, 0-9, '+', '-' and '.'" ;;
    ?) refuse "'$1' is not a Debian package name: at least two characters" ;;
    esac
    packages="$packages $1"
    shift
done

skip=$(echo "${LESSONS_SKIP_INSTALL:-}" | tr '[:upper:]' '[:lower:]')
case $skip in
1 | yes | true | on) exit 0 ;;
"" | 0 | no | false | off) ;;
*) refuse "LESSONS_SKIP_INSTALL is '${LESSONS_SKIP_INSTALL}': use 1, yes, true or on to skip installing, 0, no, false or off not to" ;;
esac
[ -n "$packages" ] || exit 0
# shellcheck disable=SC2086 # one word per package
set -- $packages

if ! command -v apt-get >/dev/null 2>&1 || ! command -v dpkg-query >/dev/null 2>&1; then
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
        "or your system's equivalents: $*. See \"$section\" in docs/building.md; once they are" \
        "installed, run again with LESSONS_SKIP_INSTALL=1." >&2
    exit 2
fi

missing=""
for package in "$@"; do
    case " $missing " in *" $package "*) continue ;; esac
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
