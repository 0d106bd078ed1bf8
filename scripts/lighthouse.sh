#!/bin/sh
# Lighthouse on the web pages: builds them as learners get them (scripts/build_web.sh,
# the "web" preset, in build/web/), installs Lighthouse at the version pinned in
# bench/package-lock.json (once, into the cache) and judges the gallery and each
# lesson's page served by web/serve.mjs (bench/lighthouse.mjs). The reports go to
# build/web/lighthouse/.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

sh "$root/scripts/build_web.sh" web
"$root/scripts/install_deps.sh" chromium
lighthouse=$(sh "$root/scripts/npm_ci.sh" --cache "$root/bench" "Lighthouse")
echo "== Lighthouse on each page"
node "$root/bench/lighthouse.mjs" "$lighthouse" "$root/build/web/bin" "$root/build/web/lighthouse"
