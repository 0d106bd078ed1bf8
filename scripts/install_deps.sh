#!/bin/sh
# Installs whichever of the Debian/Ubuntu packages named on the command line are
# missing, through apt-get (with sudo when not root). Says nothing when none is.
set -eu

if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "Not a Debian or Ubuntu system: make sure these are installed: $*" >&2
    exit 0
fi

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
