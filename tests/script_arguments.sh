#!/bin/sh
# Every script answers --help with its usage (status 0), and refuses what it does
# not understand with its usage and status 2, at once, having built, installed and
# started nothing: an unknown option, an unknown lesson or what-if, a name that is not a Debian
# package, a LESSONS_SKIP_INSTALL it cannot read. Every script the README and docs/
# name exists. Works on a copy of the project, with a stand-in for every command
# that builds, installs or starts something, each noting that it was called.
# Usage: script_arguments.sh <source dir>
set -u
root=$1
# shellcheck source=../scripts/lib/common.sh
. "$root/scripts/lib/common.sh"
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
copy="$work/project"
copy_project "$copy" || exit 1
mkdir "$work/stand-ins"
for command in apt-get sudo cmake ctest make node npm em++ emcc em-config Xvfb weston wine \
    wineboot wineserver chroot debootstrap mount python3 chromium gcc g++ git; do
    printf '#!/bin/sh\necho "%s $*" >>"%s/called"\n' "$command" "$work" >"$work/stand-ins/$command"
done
chmod +x "$work/stand-ins"/*
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# run <expected status> <what the output must hold> <script> [args...]: runs it
# from the copy, checks its status, its output and that it ran nothing, at once.
run() {
    expected=$1 holds=$2 script=$3
    shift 3
    rm -f "$work/called"
    started=$(date +%s%N)
    output=$(cd "$work" && PATH="$work/stand-ins:$PATH" sh "$copy/scripts/$script" "$@" 2>&1)
    code=$?
    took=$((($(date +%s%N) - started) / 1000000))
    what="$script $*"
    [ "$code" -eq "$expected" ] || fail "'$what' exited $code, not $expected: $output"
    case $output in *"$holds"*) ;; *) fail "'$what' does not say '$holds': $output" ;; esac
    [ ! -f "$work/called" ] || fail "'$what' ran: $(cat "$work/called")"
    [ "$took" -lt 1000 ] || fail "'$what' took $took ms, not under a second"
}

# All but the three that scripts source rather than run.
scripts=$(cd "$copy/scripts" && printf '%s\n' ./*.sh lib/*.sh | sed 's|^\./||' |
    grep -v '^lib/\(common\|observe\|server_for_command\)\.sh$')
for script in $scripts; do
    run 0 "Usage: $(basename "$script")" "$script" --help
    run 2 "Usage: $(basename "$script")" "$script" --no-such-option
done

# Each script the documentation names is one of them.
named=$(cd "$root" && grep -oh 'scripts/[A-Za-z0-9_/]*\.sh' README.md docs/*.md | sort -u)
for path in $named; do
    [ -f "$root/$path" ] || fail "the documentation names $path, which does not exist"
done
[ -n "$named" ] || fail "the documentation names no script"

lessons=$(lessons | tr '\n' ' ')
run 2 "the lessons are: $lessons" run_lessons.sh lesson99
run 2 "there is no lesson 'extra'" run_lessons.sh lesson01 extra
run 2 "there is no what-if 'no-such-failure'" run_lessons.sh --what-if no-such-failure
run 2 "lesson01 does not handle 'no-file'" run_lessons.sh --what-if no-file lesson01
run 0 "no-window" run_lessons.sh --what-if list

for name in -o "" "lib*" "two words" "x" "Capital" "a;b"; do
    run 2 "" lib/install_deps.sh g++ "$name"
done
run 2 "has no task 'no-such-task'" lib/install_deps.sh --for no-such-task
for value in 1 yes TRUE On; do
    LESSONS_SKIP_INSTALL=$value run 0 "" lib/install_deps.sh g++ no-such-package
done
LESSONS_SKIP_INSTALL=maybe run 2 "LESSONS_SKIP_INSTALL is 'maybe'" lib/install_deps.sh g++

[ ! -e "$copy/build" ] || fail "a script made $copy/build"
[ "$failures" -ne 0 ] || echo "ok: $(echo "$scripts" | wc -w) scripts answer --help and refuse what they do not understand, running nothing"
exit "$failures"
