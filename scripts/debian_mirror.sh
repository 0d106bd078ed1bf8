#!/bin/sh
# Prints the Debian archive that this machine's apt already uses, for the scripts
# that fetch from it themselves (debootstrap, a source-package entry).
set -eu
mirror=$(sed -n 's|^URIs: *\([^ ]*/debian\)/*$|\1|p; s|^deb  *\(\[[^]]*\]  *\)\{0,1\}\([^ ]*/debian\)/* .*|\2|p' \
    /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources \
    2>/dev/null | head -n 1)
if [ -z "$mirror" ]; then
    echo "debian_mirror: found no Debian archive in this machine's apt sources" >&2
    exit 1
fi
echo "$mirror"
