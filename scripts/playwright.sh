#!/bin/sh
# Installs what drives Debian's Chromium for the browser tests and the web
# benchmark: Chromium, Node.js and npm from Debian, and playwright-core at the
# version pinned in tests/web/package-lock.json (npm ci; no browser is downloaded).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install_deps.sh" chromium
sh "$root/scripts/npm_ci.sh" "$root/tests/web" "playwright-core for the browser (no browser is downloaded)"
