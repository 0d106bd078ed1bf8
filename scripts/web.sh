#!/bin/sh
# The lessons in a web browser: builds them for the web in build/web/ and serves
# build/web/bin/ on this machine (127.0.0.1, a free port) until Ctrl+C. Open the
# URL it prints: the front page lists every lesson, and each runs in its page.
# Usage: web.sh
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/common.sh
. "$root/scripts/lib/common.sh"
no_arguments "$@"
sh "$root/scripts/lib/build_web.sh" web
"$root/scripts/lib/install_deps.sh" --for node
exec node "$root/web/serve.mjs" "$root/build/web/bin"
