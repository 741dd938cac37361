# Sourced by the scripts of bench/: where the repository and the build directory are, and a build there.
# Sets `here` (this directory), `repo` and `build_dir` (BUILD_DIR, else build/ at the top of the
# repository, as an absolute path); the functions say what fails on standard error, prefixed with the
# calling script's name, and return 1.

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)
build_dir=${BUILD_DIR:-$repo/build}
case $build_dir in
/*) ;;
*) build_dir=$PWD/$build_dir ;;
esac
build_dir=$(realpath -m -- "$build_dir" 2>/dev/null || printf '%s' "$build_dir")

# Configures the build directory (Release) unless it has been; the log goes to the directory given.
configure_build() { # log directory
    local generator=() script
    script=$(basename "$0")
    [[ -f $build_dir/CMakeCache.txt ]] && return 0
    printf 'configuring %s (Release)\n' "$build_dir" >&2
    command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
    if ! cmake -S "$repo" -B "$build_dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release >"$1/configure.log" 2>&1; then
        tail -n 30 "$1/configure.log" >&2
        printf '%s: cannot configure %s\n' "$script" "$build_dir" >&2
        return 1
    fi
}

# Configures the build directory when needed and builds the targets; the logs go to the directory given.
build_targets() { # log directory, target...
    local logs=$1 script
    script=$(basename "$0")
    shift
    configure_build "$logs" || return 1
    printf 'building %s in %s\n' "$*" "$build_dir" >&2
    if ! cmake --build "$build_dir" --target "$@" >"$logs/build.log" 2>&1; then
        tail -n 30 "$logs/build.log" >&2
        printf '%s: the build failed\n' "$script" >&2
        return 1
    fi
}
