#!/bin/sh
# Installs what drives Debian's Chromium for the browser tests and the web
# benchmark: Chromium, Node.js and npm from Debian, and playwright-core at the
# version pinned in tests/web/package-lock.json (npm ci; no browser is downloaded).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install_deps.sh" chromium nodejs
command -v npm >/dev/null 2>&1 || "$root/scripts/install_deps.sh" npm
echo "== Installing playwright-core for the browser (no browser is downloaded)"
log=$(mktemp)
if ! (cd "$root/tests/web" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund) \
        >"$log" 2>&1; then
    cat "$log"
    rm -f "$log"
    exit 1
fi
rm -f "$log"
