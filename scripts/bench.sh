#!/bin/sh
# The benchmark: builds the lessons and their floor programs in build/benchmark/
# (the CMake preset "benchmark", a Release build), then times each on SDL's dummy
# driver, on a virtual X server and on a Wayland compositor (Weston). A lesson
# that holds its picture is timed against its floor, the hold taken out; one that
# runs until its window is closed is let draw for two seconds and closed: its first
# frame and its CPU time a frame. --examples adds the tests' example lessons, one
# of each kind (tests/new_lessons/).
# Usage: bench.sh [--examples] [runs]   (default 50; the medians are printed)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/common.sh
. "$root/scripts/lib/common.sh"
examples=OFF
case ${1-} in
-h | --help) usage; exit 0 ;;
--examples) examples=ON; shift ;;
-*) refuse "unknown option '$1'" ;;
esac
[ "$#" -le 1 ] || refuse "it takes one number of runs at most"
runs=${1:-50}
case $runs in "" | *[!0-9]* | 0) refuse "the number of runs is a whole number, 1 or more, not '$runs'" ;; esac
build="$root/build/benchmark"

"$root/scripts/lib/install_deps.sh" --for lessons --for bench
sh "$root/scripts/lib/build.sh" benchmark -DLESSONS_EXAMPLES=$examples

bench="$build/bench/bench_lessons"
# Each lesson the build lists that holds its picture, with its floor program if it
# has one ("-" if not); those that run until closed, apart.
set --
loops=""
while IFS='	' read -r lesson kind _; do
    case $kind in
    kind) continue ;;
    until-closed) loops="$loops $lesson"; continue ;;
    esac
    floor="$build/bench/floor${lesson#lesson}"
    [ -x "$floor" ] || floor=-
    set -- "$@" "$build/bin/$lesson" "$floor"
done <"$build/lessons.tsv"
# Preloaded by name and found through LD_LIBRARY_PATH: the loader splits LD_PRELOAD
# at spaces, and the checkout's path may have some.
no_delay=libno_delay.so
export LD_LIBRARY_PATH="$build/bench${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"

echo "Medians of $runs runs on $(nproc) cores, $(uname -sr), SDL $(dpkg-query -W -f='${Version}' libsdl2-2.0-0 2>/dev/null || echo '?')."
echo "Run: start to exit without the 2000 ms hold. Memory: peak resident set. Failure: a start-up"
echo "whose video driver does not exist. Targets: run within 1.05x the floor or +0.5 ms,"
echo "memory within 1 MiB of the floor, failure under 50 ms (dummy)."
echo
echo "| lesson | driver | run ms | floor ms | ratio | MiB | floor MiB | diff MiB | failure ms | floor failure ms | targets met |"
echo "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---|"
status=0
"$bench" "$runs" dummy "$no_delay" "$@" || status=$?
sh "$root/scripts/lib/with_xvfb.sh" "$bench" "$runs" x11 "$no_delay" "$@" || status=$?
sh "$root/scripts/lib/with_weston.sh" "$bench" "$runs" wayland "$no_delay" "$@" || status=$?

if [ -n "$loops" ]; then
    loop_runs=$((runs < 5 ? runs : 5))
    echo
    echo "Lessons that run until closed: medians of $loop_runs runs, each drawing two seconds, then closed."
    echo "First frame: from its start; CPU: user and system time a frame; end: from the close request to the exit."
    echo
    echo "| lesson | driver | first frame ms | frames a second | CPU ms a frame | MiB | end ms |"
    echo "|---|---|---:|---:|---:|---:|---:|"
    # <driver> [wrapper...]: each such lesson on that driver; a function, so that the
    # script's own arguments (the lessons that hold) stay as they are.
    loop_bench() {
        driver=$1
        shift
        for lesson in $loops; do
            "$@" "$build/bench/bench_loop" "$loop_runs" "$driver" libframe_clock.so "$build/bin/$lesson" || status=$?
        done
    }
    loop_bench dummy
    loop_bench x11 sh "$root/scripts/lib/with_xvfb.sh"
    loop_bench wayland sh "$root/scripts/lib/with_weston.sh"
fi

# Wall time on a shared machine wobbles by several per cent from one run of this
# script to the next; instruction counts do not. One run each under callgrind.
instructions() { # <program>
    SDL_VIDEODRIVER=dummy LD_PRELOAD="$no_delay" valgrind --tool=callgrind \
        --callgrind-out-file=/dev/null "$1" 2>&1 >/dev/null | sed -n 's/.*Collected : *//p'
}
echo
echo "| lesson | driver | instructions | floor instructions | ratio |"
echo "|---|---|---:|---:|---:|"
while [ "$#" -ge 2 ]; do
    lesson=$(instructions "$1")
    if [ "$2" = - ]; then
        echo "| $(basename "$1") | dummy | $lesson | no floor program | no ratio |"
    else
        floor=$(instructions "$2")
        awk -v name="$(basename "$1")" -v l="$lesson" -v f="$floor" \
            'BEGIN { printf "| %s | dummy | %d | %d | %.4f |\n", name, l, f, l / f }'
    fi
    shift 2
done
exit "$status"
