#!/bin/sh
# The shell scripts pass shellcheck, following what they source, and every check
# switched off says why on its own line.
# Usage: shellcheck.sh <shellcheck> <source dir>
set -u
shellcheck=$1
cd "$2" || exit 1
status=0
"$shellcheck" -x -P SCRIPTDIR scripts/*.sh scripts/lib/*.sh tests/*.sh .ci/run || status=1
if grep -nE '# shellcheck (disable=[^ ]*|source=/dev/null)$' scripts/*.sh scripts/lib/*.sh tests/*.sh .ci/run; then
    echo "FAIL: the lines above switch a check off without saying why (add '# <reason>')"
    status=1
fi
[ "$status" -ne 0 ] || echo "ok: shellcheck finds nothing"
exit "$status"
