# shellcheck shell=sh # sourced by POSIX sh scripts
# What the scripts share. A script sets $root to the checkout, then sources this:
#   root=$(cd "$(dirname "$0")/.." && pwd)
#   . "$root/scripts/lib/common.sh"

# usage: the script's opening comment, which says what it does and how to call it.
usage() {
    sed -n '2,/^[^#]/{/^#/{s/^# \{0,1\}//;p;};}' "$0"
}

# refuse <why>: says why, then how to call the script (its "Usage:" and what
# follows), on standard error; exit 2.
refuse() {
    {
        echo "$(basename "$0"): $1"
        usage | sed -n '/^Usage:/,$p'
        echo "(--help says more)"
    } >&2
    exit 2
}

# no_arguments "$@": for a script that takes none but --help.
no_arguments() {
    case ${1-} in
    "") ;;
    -h | --help) usage; exit 0 ;;
    -*) refuse "unknown option '$1'" ;;
    *) refuse "it takes no arguments, not '$1'" ;;
    esac
}

# lessons: the lessons, in order, one a line, as lessons/CMakeLists.txt lists them
# with add_lesson(...): the only list there is (builds write it to lessons.tsv).
# shellcheck disable=SC2154 # $root is the sourcing script's
lessons() {
    sed -n 's/^add_lesson(\([A-Za-z0-9_]*\).*/\1/p' "$root/lessons/CMakeLists.txt"
}

# check_lessons <name>...: refuses, naming the lessons there are, any name that is
# not one of them.
check_lessons() {
    for name in "$@"; do
        if ! lessons | grep -qxF -e "$name"; then
            refuse "there is no lesson '$name'; the lessons are: $(lessons | tr '\n' ' ')"
        fi
    done
}

# what_ifs: the failures a traced lesson can be made to meet, one a line as
# "<name> <the call that fails> <what it means>", from lessons/failures.tsv.
what_ifs() {
    awk -F '\t' 'NR > 1 { print $1, $2, $3 }' "$root/lessons/failures.tsv"
}

# what_ifs_of <lesson>: the names of the failures it handles: the cases of its
# lessons/<lesson>.prints.tsv besides "ok".
what_ifs_of() {
    [ ! -f "$root/lessons/$1.prints.tsv" ] ||
        awk -F '\t' 'NR > 1 && $1 != "ok" { print $1 }' "$root/lessons/$1.prints.tsv"
}

# cache_dir: the folder, outside the checkout, where slow third-party builds are
# kept (SDL2 for other platforms, CMake, unpacked sources, chroots, npm packages):
# $LESSONS_CACHE, or sdl-lessons/ in the user's cache folder. Delete it to start
# from cold.
cache_dir() {
    echo "${LESSONS_CACHE:-${XDG_CACHE_HOME:-${HOME:-/root}/.cache}/sdl-lessons}"
}

# debian_mirror: the Debian archive this machine's apt already uses, for the scripts
# that fetch from it themselves (debootstrap, a source-package entry).
debian_mirror() {
    mirror=$(sed -n 's|^URIs: *\([^ ]*/debian\)/*$|\1|p; s|^deb  *\(\[[^]]*\]  *\)\{0,1\}\([^ ]*/debian\)/* .*|\2|p' \
        /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources \
        2>/dev/null | head -n 1)
    if [ -z "$mirror" ]; then
        echo "found no Debian archive in this machine's apt sources" >&2
        return 1
    fi
    echo "$mirror"
}

# The folder name the checkout is tested under, as a newcomer's home folder may be
# named: spaces, quotes, '$', '&', '%', brackets and non-ASCII letters. (Not a
# backslash: CMake itself reads one as a separator and cannot find the source.)
# shellcheck disable=SC2034 # for the scripts that source this
odd_folder="lições de SDL \$HOME & 'aspas' 100% [x] (y)"

# copy_project <destination>: the project's files, without its build trees, its
# git history or its npm packages, so that a test never changes the project itself.
copy_project() {
    mkdir -p "$1" || return 1
    (cd "$root" && tar --exclude='./build' --exclude='./build-*' --exclude='./.git' \
        --exclude='node_modules' -cf - .) | tar -xf - -C "$1"
}
