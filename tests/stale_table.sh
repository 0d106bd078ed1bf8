#!/bin/sh
# Docs.TablesAreCurrent can fail: in a copy of the pages and the data their tables
# are written from, one failure's question is changed in lessons/failures.tsv; the
# check must then fail, naming docs/trace.md, and pass again once the tables are
# written anew.
# Usage: stale_table.sh <python> <project dir> <lesson>...
set -u
python=$1 root=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/docs" "$work/lessons" "$work/scripts/lib"
cp "$root/README.md" "$work/"
cp "$root/docs/trace.md" "$root/docs/packages.md" "$work/docs/"
cp "$root"/lessons/*.cpp "$root/lessons/failures.tsv" "$work/lessons/"
cp "$root/scripts/lib/packages.tsv" "$work/scripts/lib/"
sed -i 's/What if the window cannot be created?/What if no window can be made?/' "$work/lessons/failures.tsv"
if "$python" -B "$root/tools/doc_tables.py" --check "$work" "$@" >"$work/out" 2>&1; then
    echo "FAIL: a stale table in docs/trace.md passed the check"
    exit 1
fi
if ! grep -q "docs/trace.md" "$work/out"; then
    cat "$work/out"
    echo "FAIL: the check failed without naming docs/trace.md"
    exit 1
fi
"$python" -B "$root/tools/doc_tables.py" --write "$work" "$@" >/dev/null
if ! "$python" -B "$root/tools/doc_tables.py" --check "$work" "$@" >/dev/null; then
    echo "FAIL: the table written anew does not pass the check"
    exit 1
fi
echo "ok: a stale table is caught, and written anew passes"
