#!/bin/sh
# Installs the npm packages a folder's package-lock.json pins (npm ci), quietly:
# the log is shown only when it fails. Node.js and npm come from Debian. Without
# --cache they go into the folder's node_modules, once per lock file; with
# --cache, into the cache instead, outside the checkout, and the folder that holds
# their node_modules is printed; --where prints that folder and installs nothing.
# Usage: npm_ci.sh [--cache|--where] <folder with package.json> <what, for the progress line>
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=common.sh
. "$root/scripts/lib/common.sh"
cache="" where=""
case ${1-} in
-h | --help) usage; exit 0 ;;
--cache) cache=yes; shift ;;
--where) cache=yes where=yes; shift ;;
-*) refuse "unknown option '$1'" ;;
esac
[ "$#" -eq 2 ] || refuse "it needs a folder and what it holds"
folder=$1 what=$2
[ -f "$folder/package-lock.json" ] || refuse "$folder has no package-lock.json"
lock=$(cksum <"$folder/package-lock.json" | cut -d ' ' -f 1)
if [ -n "$cache" ]; then
    name=$(sed -n 's/^ *"name": "\(.*\)",$/\1/p' "$folder/package.json" | head -n 1)
    target="$(cache_dir)/npm-$name-$lock"
    if [ -f "$target/.complete" ] || [ -n "$where" ]; then
        echo "$target"
        exit 0
    fi
    mkdir -p "$target"
    cp "$folder/package.json" "$folder/package-lock.json" "$target/"
    folder=$target
elif [ "$(cat "$folder/node_modules/.lessons-lock" 2>/dev/null)" = "$lock" ]; then
    exit 0
fi
"$root/scripts/lib/install_deps.sh" --for node >&2
command -v npm >/dev/null 2>&1 || "$root/scripts/lib/install_deps.sh" npm >&2
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
else
    echo "$lock" >"$folder/node_modules/.lessons-lock"
fi
