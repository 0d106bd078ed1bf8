#!/bin/sh
# Lighthouse on the web pages: builds them as learners get them (the "web" preset,
# in build/web/), installs Lighthouse at the version pinned in
# bench/package-lock.json (once, into the cache) and judges the gallery and each
# lesson's page served by web/serve.mjs (bench/lighthouse.mjs). The reports go to
# build/web/lighthouse/.
# Usage: lighthouse.sh
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/common.sh
. "$root/scripts/lib/common.sh"
no_arguments "$@"

sh "$root/scripts/lib/build_web.sh" web
"$root/scripts/lib/install_deps.sh" --for browser
lighthouse=$(sh "$root/scripts/lib/npm_ci.sh" --cache "$root/bench" "Lighthouse")
echo "== Lighthouse on each page"
node "$root/bench/lighthouse.mjs" "$lighthouse" "$root/build/web/bin" "$root/build/web/lighthouse"
