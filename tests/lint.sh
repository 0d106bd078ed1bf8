#!/bin/sh
# The project's JavaScript and Python keep their standard, as its C++ (clang-format)
# and its shell (shellcheck) do: ESLint and Prettier (tools/lint/package.json, as
# scripts/test.sh installs them), flake8 and black (Debian's). "planted" checks the
# checks: a copy of a source with an unused variable, and one with an unused
# import, must each fail. Skipped (77), saying so, where a linter is missing; in CI
# that is a failure.
# Usage: lint.sh <javascript|python|planted> <source dir>
set -u
what=$1 root=$2
# shellcheck source=../scripts/lib/common.sh
. "$root/scripts/lib/common.sh"
modules="$(sh "$root/scripts/lib/npm_ci.sh" --where "$root/tools/lint" linters)/node_modules"
[ -d "$modules" ] || modules="$root/tools/lint/node_modules"
skip() {
    echo "SKIPPED: $1"
    [ "${CI:-}" != true ] || { echo "FAIL: CI must run the linters"; exit 1; }
    exit 77
}
for tool in "$modules/.bin/eslint" "$modules/.bin/prettier"; do
    [ -x "$tool" ] || skip "$tool is missing (sh scripts/lib/npm_ci.sh --cache tools/lint linters)"
done
if ! command -v flake8 >/dev/null 2>&1 || ! command -v black >/dev/null 2>&1; then
    skip "flake8 or black is missing (Debian packages flake8 and black)"
fi

eslint() { "$modules/.bin/eslint" --config "$root/tools/lint/eslint.config.mjs" "$@"; }
cd "$root" || exit 1
javascript=$(find web tests bench tools -path '*/node_modules' -prune -o \( -name '*.js' -o -name '*.mjs' \) -print)
python=$(find web tests tools -path '*/node_modules' -prune -o -name '*.py' -print)
# shellcheck disable=SC2086 # one word a file: the project's file names have no spaces
case $what in
javascript) eslint $javascript && "$modules/.bin/prettier" --check $javascript ;;
python) flake8 $python && black --check --quiet $python ;;
planted)
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    status=0
    printf 'const unused = 1;\nexport const used = 2;\n' >"$work/planted.mjs"
    printf 'import os\n\nUSED = 2\n' >"$work/planted.py"
    # Each fails, and for that reason.
    if ! (cd "$work" && eslint planted.mjs 2>&1) | grep -q "'unused' is assigned a value but never used"; then
        echo "FAIL: ESLint let an unused variable through"
        status=1
    fi
    if ! flake8 "$work/planted.py" 2>&1 | grep -q "F401 'os' imported but unused"; then
        echo "FAIL: flake8 let an unused import through"
        status=1
    fi
    [ "$status" -ne 0 ] || echo "ok: an unused variable and an unused import are caught"
    exit "$status"
    ;;
*) echo "usage: lint.sh <javascript|python|planted> <source dir>" >&2; exit 2 ;;
esac
