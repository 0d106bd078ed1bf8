#!/bin/sh
# Installs the npm packages a folder's package-lock.json pins (npm ci), quietly:
# the log is shown only when it fails. Node.js and npm come from Debian.
# With --cache, the packages go into the cache instead, outside the checkout, once
# per lock file, and the folder that holds their node_modules is printed.
# Usage: npm_ci.sh [--cache] <folder with package.json> <what, for the progress line>
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cache=""
if [ "$1" = --cache ]; then
    cache=yes
    shift
fi
folder=$1 what=$2
if [ -n "$cache" ]; then
    name=$(sed -n 's/^ *"name": "\(.*\)",$/\1/p' "$folder/package.json" | head -n 1)
    target="$(sh "$root/scripts/cache_dir.sh")/npm-$name-$(cksum <"$folder/package-lock.json" | cut -d ' ' -f 1)"
    if [ -f "$target/.complete" ]; then
        echo "$target"
        exit 0
    fi
    mkdir -p "$target"
    cp "$folder/package.json" "$folder/package-lock.json" "$target/"
    folder=$target
fi
"$root/scripts/install_deps.sh" nodejs >&2
command -v npm >/dev/null 2>&1 || "$root/scripts/install_deps.sh" npm >&2
echo "== Installing $what" >&2
log=$(mktemp)
if ! (cd "$folder" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund) >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    exit 1
fi
rm -f "$log"
if [ -n "$cache" ]; then
    touch "$folder/.complete"
    echo "$folder"
fi
