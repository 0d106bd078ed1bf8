# shellcheck shell=sh # sourced by POSIX sh scripts
# Shell function for the tests that work on a copy of the project. Source it.

# copy_project <source dir> <destination dir>: the project's files, without its
# build trees, so that a test never changes the project itself.
copy_project() {
    mkdir -p "$2" || return 1
    for entry in "$1"/*; do
        case $(basename "$entry") in
        build*) ;; # build trees are not part of the project
        *) cp -R "$entry" "$2/" || return 1 ;;
        esac
    done
}
