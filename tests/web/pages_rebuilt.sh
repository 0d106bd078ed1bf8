#!/bin/sh
# The pages are rebuilt when what they are made from changes: in a copy of the
# project, the pages are built, one failure's question is changed in
# lessons/failures.tsv, and the pages, built again, must ask the new question.
# Usage: pages_rebuilt.sh <project dir>
set -eu
root=$1
# shellcheck source=../../scripts/lib/common.sh
. "$root/scripts/lib/common.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
copy="$work/project"
copy_project "$copy"
# The copy's npm packages are the checkout's, installed already.
ln -s "$root/web/node_modules" "$copy/web/node_modules"
page="$copy/build/web/bin/lesson01.html"

pages() {
    if ! LESSONS_BUILD_TARGET=web_pages sh "$copy/scripts/lib/build_web.sh" web >"$work/log" 2>&1; then
        cat "$work/log"
        echo "FAIL: the pages of a copy of the project did not build"
        exit 1
    fi
}
pages
before="What if the window cannot be created?" after="What if no window can be made?"
grep -qF "$before" "$page" || { echo "FAIL: lesson01.html does not ask \"$before\""; exit 1; }
sed -i "s/$before/$after/" "$copy/lessons/failures.tsv"
pages
if ! grep -qF "$after" "$page"; then
    echo "FAIL: lesson01.html was not rebuilt after lessons/failures.tsv changed"
    exit 1
fi
echo "ok: a page is rebuilt when a failure's question changes"
