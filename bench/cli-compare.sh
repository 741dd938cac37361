#!/usr/bin/env bash
# The command-line companion over many files, beside ccrypt on the same files in the same run, and on
# several cores: checks the targets of its runs of many files.
#
#   1. Many small files: `vorlaxen-cli encrypt -r` and `decrypt -r` of a tree of 2,000 files of 1 KiB,
#      and `ccrypt -e -r` / `ccrypt -d -r` of a copy of the same tree; ours within 2 times ccrypt's time,
#      every durability promise kept (ccrypt flushes nothing). The target is for ext4 with its journal,
#      as a default ext4 is made: point TMPDIR at one when the scratch file system is another (the report
#      names it).
#   2. All cores: `vorlaxen-cli encrypt -j 2` of eight 32 MiB files at least 1.7 times as fast as
#      `-j 1` of the same files; the peak memory of `-j 2` under twice that of one file encrypted alone.
#
# ccrypt is installed first when it is missing (the Debian package, as root or through sudo without a
# password), as bench/compare.sh installs its peers. It is a report: it exits 0 even when a target is
# missed, and non-zero only when something could not be built or run, or a result was wrong.
#
#   bench/cli-compare.sh                   (from any directory)
#
# Environment:
#   BUILD_DIR        build directory to use, configured (Release) and built when needed;
#                    default: build/ at the top of the repository
#   ROUNDS           rounds of every measurement, of which the best time counts (default 3)
#   SMALL_FILES      files in the tree of small files (default 2000)
#   INSTALL_PEERS=0  do not install ccrypt when it is missing (its figures then show n/i)
#   TMPDIR           where the scratch files go, about 1 GiB at most (default /tmp)

set -u -o pipefail

source "$(dirname "${BASH_SOURCE[0]}")/build.sh"
rounds=${ROUNDS:-3}
small_files=${SMALL_FILES:-2000}
install_peers=${INSTALL_PEERS:-1}

# Targets.
small_ceiling=2.0 # ours / ccrypt, encrypt -r and decrypt -r of the small files
jobs_floor=1.7    # time of -j 1 / time of -j 2, eight 32 MiB files
memory_ceiling=2.0 # peak memory of -j 2 / peak memory of one file alone

mib=1048576
big_files=8
big_mib=32
password=bench-password

note() { printf '%s\n' "$*" >&2; }
problem() { # also from a subshell: counted at the end
    note "cli-compare.sh: $*"
    printf '%s\n' "$*" >>"$work/problems"
}
calc() { awk "BEGIN { $1 }" </dev/null; }
now() { printf '%s\n' "${EPOCHREALTIME/,/.}"; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vorlaxen-cli-compare.XXXXXX") || {
    note "cli-compare.sh: cannot create a scratch directory under ${TMPDIR:-/tmp}"
    exit 1
}
trap 'rm -rf "$work"' EXIT

# ----------------------------------------------------------------------------------------- ccrypt
if ! command -v ccrypt >/dev/null 2>&1 && [[ $install_peers == 1 ]] && command -v apt-get >/dev/null 2>&1; then
    sudo=()
    if [[ $(id -u) -ne 0 ]]; then
        if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
            sudo=(sudo)
        else
            sudo=(unavailable)
        fi
    fi
    if [[ ${sudo[0]:-} == unavailable ]]; then
        note "cli-compare.sh: cannot install ccrypt (not root, and sudo asks for a password): its figures show n/i"
    else
        note "installing the missing peer: ccrypt"
        if ! { "${sudo[@]}" apt-get update -q && "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
            apt-get install -y --no-install-recommends ccrypt; } >"$work/install.log" 2>&1; then
            tail -n 15 "$work/install.log" | sed 's/^/    | /' >&2
            note "cli-compare.sh: installing ccrypt failed: its figures show n/i"
        fi
    fi
fi
have_ccrypt=0
command -v ccrypt >/dev/null 2>&1 && have_ccrypt=1

# ------------------------------------------------------------------------------------------ build
targets=(vorlaxen-cli)
[[ -x /usr/bin/time ]] || targets+=(peak_rss)
build_targets "$work" "${targets[@]}" || exit 1
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
cli=$build_dir/src/cli/vorlaxen-cli

rss_tool=()
if [[ -x /usr/bin/time ]] && [[ $(/usr/bin/time -f %M true 2>&1) =~ ^[0-9]+$ ]]; then
    rss_tool=(/usr/bin/time -f %M)
    rss_how="GNU time"
elif [[ -x $build_dir/bench/peak_rss ]]; then
    rss_tool=("$build_dir/bench/peak_rss")
    rss_how="bench/peak_rss"
else
    problem "no way to measure peak memory (neither GNU time nor bench/peak_rss)"
fi

export VORLAXEN_PASSWORD=$password
export VORLAXEN_BENCH_KEY=$password # ccrypt -E reads its key from here
export HOME=$work/home              # no key file of the user's is read or written
mkdir -p "$HOME"

# Runs a command after `sync`, so that nobody's dirty pages are flushed on its time (ccrypt flushes
# nothing; our outputs are flushed before the sources go); prints its wall-clock seconds. Its output goes
# to $work/run.log; a failure is reported.
timed() {
    sync
    local start end status
    start=$(now)
    "$@" >"$work/run.log" 2>&1
    status=$?
    end=$(now)
    if [[ $status -ne 0 ]]; then
        sed 's/^/    | /' "$work/run.log" | tail -n 10 >&2
        problem "$* exited with $status"
    fi
    calc "printf \"%.4f\", $end - $start"
}

ratio() { calc "printf \"%.2f\", $1 / $2"; }
best() { # current candidate: the smaller, or the candidate when there is none yet
    if [[ -z $1 ]] || calc "exit !($2 < $1)"; then printf '%s' "$2"; else printf '%s' "$1"; fi
}

same_tree() { # a b: the same files with the same bytes
    if ! diff -r "$1" "$2" >/dev/null 2>&1; then
        problem "$2 does not hold what $1 holds"
    fi
}

# ------------------------------------------------------------------------------------ small files
# One tree of random files, copied for every round and tool: ours and ccrypt's start from the same bytes.
note "small files: $small_files files of 1 KiB, $rounds rounds"
mkdir -p "$work/small"
head -c $((small_files * 1024)) /dev/urandom | (cd "$work/small" && split -b 1024 -a 5 -d - f) || {
    note "cli-compare.sh: cannot make the small files"
    exit 1
}
declare -A small=() # ours/encrypt, ccrypt/decrypt, ... -> best seconds
for ((round = 1; round <= rounds; ++round)); do
    mine=$work/round$round-ours
    theirs=$work/round$round-ccrypt
    # What creating as many files costs on this file system now: the floor of any tool that writes its
    # outputs beside its sources instead of over them.
    small[cp]=$(best "${small[cp]:-}" "$(timed cp -r "$work/small" "$mine")")
    cp -r "$work/small" "$theirs"
    if [[ $have_ccrypt == 1 ]]; then
        small[ccrypt/encrypt]=$(best "${small[ccrypt/encrypt]:-}" "$(timed ccrypt -e -r -f -E VORLAXEN_BENCH_KEY "$theirs")")
    fi
    small[ours/encrypt]=$(best "${small[ours/encrypt]:-}" "$(timed "$cli" encrypt -r "$mine")")
    [[ $(find "$mine" -name '*.cry' | wc -l) -eq $small_files ]] || problem "encrypt -r did not encrypt every file"
    if [[ $have_ccrypt == 1 ]]; then
        small[ccrypt/decrypt]=$(best "${small[ccrypt/decrypt]:-}" "$(timed ccrypt -d -r -f -E VORLAXEN_BENCH_KEY "$theirs")")
        same_tree "$work/small" "$theirs"
    fi
    small[ours/decrypt]=$(best "${small[ours/decrypt]:-}" "$(timed "$cli" decrypt -r "$mine")")
    same_tree "$work/small" "$mine"
done
# The trees of every round stay until here: a file system that avoids reusing the inodes of files
# deleted a moment ago would charge the deletions of one round to the outputs of the next.
rm -rf "$work"/round*

# -------------------------------------------------------------------------------------- big files
note "big files: $big_files files of $big_mib MiB, -j 1 and -j 2, $rounds rounds"
mkdir -p "$work/big"
names=()
for ((i = 1; i <= big_files; ++i)); do
    head -c $((big_mib * mib)) /dev/urandom >"$work/big/f$i"
    names+=("f$i")
done
declare -A big=()
declare -A rss=()
measure_rss() { # key, command...: the largest peak seen, in KiB
    local key=$1 last
    shift
    [[ ${#rss_tool[@]} -gt 0 ]] || return
    sync
    "${rss_tool[@]}" "$@" >"$work/rss.out" 2>"$work/rss.log"
    last=$(tail -n 1 "$work/rss.log")
    if [[ $last =~ ^[0-9]+$ ]]; then
        ((last > ${rss[$key]:-0})) && rss[$key]=$last
    else
        tail -n 10 "$work/rss.log" | sed 's/^/    | /' >&2
        problem "no peak memory for $*"
    fi
}
fresh_copy() {
    rm -rf "$work/run"
    cp -r "$work/big" "$work/run"
}
runs=()
for name in "${names[@]}"; do
    runs+=("$work/run/$name")
done
half=$((big_files / 2))
for ((round = 1; round <= rounds; ++round)); do
    for jobs in 1 2; do
        fresh_copy
        big[$jobs]=$(best "${big[$jobs]:-}" "$(timed "$cli" encrypt -j "$jobs" "${runs[@]}")")
        [[ $(find "$work/run" -name '*.cry' | wc -l) -eq $big_files ]] || problem "encrypt -j $jobs left files"
    done
    # What two processes that only compute gain on this machine now, beside one process doing their work
    # one after the other: the ceiling of -j 2 while other work shares the cores. Verification decrypts in
    # memory and writes nothing.
    one=$(timed "$cli" verify "${runs[@]/%/.cry}")
    two=$(timed bash -c '"$0" verify "${@:1:'"$half"'}" & "$0" verify "${@:'"$((half + 1))"'}"; wait $!' \
        "$cli" "${runs[@]/%/.cry}")
    ceiling=$(ratio "$one" "$two")
    if [[ -z ${big[ceiling]:-} ]] || calc "exit !($ceiling > ${big[ceiling]})"; then
        big[ceiling]=$ceiling
    fi
    fresh_copy
    measure_rss parallel "$cli" encrypt -j 2 "${runs[@]}"
    fresh_copy
    measure_rss single "$cli" encrypt "${runs[0]}"
done
rm -rf "$work/run" "$work/big"

# ----------------------------------------------------------------------------------------- report
verdict() { # value op limit
    if calc "exit !($1 $2 $3)"; then printf 'pass'; else printf 'MISS'; fi
}

# The file system of the scratch files, and for ext4 whether it keeps a journal: without one the kernel
# avoids reusing an inode freed within the last minute, so that every new file scans past the files
# deleted just before (those of the previous command) and the small files cost that much more.
file_system() {
    local source type journal=""
    read -r source type < <(findmnt -n -o SOURCE,FSTYPE --target "$work" 2>/dev/null) || return
    if [[ $type == ext4 ]]; then
        if compgen -G "/proc/fs/jbd2/$(basename "$source")-*" >/dev/null; then
            journal=", with a journal"
        else
            journal=" without a journal"
        fi
    fi
    printf '%s%s on %s' "$type" "$journal" "$source"
}

printf '\nvorlaxen-cli over many files (%s build, %s, %s rounds, best of each; load at the end: %s)\n' \
    "${build_type:-?}" "$(nproc) processors" "$rounds" "$(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null)"
printf 'scratch files in %s: %s\n\n' "${TMPDIR:-/tmp}" "$(file_system)"
printf '%-44s %10s %10s %8s %s\n' "$small_files files of 1 KiB" "ours (s)" "ccrypt (s)" "ratio" "target"
for direction in encrypt decrypt; do
    ours=${small[ours/$direction]:-}
    if [[ $have_ccrypt == 1 && -n $ours ]]; then
        theirs=${small[ccrypt/$direction]}
        r=$(ratio "$ours" "$theirs")
        printf '%-44s %10.3f %10.3f %8s %s\n' "$direction -r" "$ours" "$theirs" "${r}x" \
            "<= ${small_ceiling}x: $(verdict "$r" '<=' "$small_ceiling")"
    else
        printf '%-44s %10s %10s %8s %s\n' "$direction -r" "${ours:-?}" "n/i" "-" "skipped"
    fi
done
if [[ -n ${small[cp]:-} ]]; then
    printf '%-44s %10.3f %10s %8s %s\n' "cp -r of the tree, this file system" "${small[cp]}" "" \
        "$([[ $have_ccrypt == 1 ]] && printf '%sx' "$(ratio "${small[cp]}" "${small[ccrypt/encrypt]}")")" \
        "(creating the files alone, beside ccrypt's encrypt)"
fi
printf '\n%-44s %10s %10s %8s %s\n' "$big_files files of $big_mib MiB, encrypt" "-j 1 (s)" "-j 2 (s)" "speed-up" "target"
if [[ -n ${big[1]:-} && -n ${big[2]:-} ]]; then
    r=$(ratio "${big[1]}" "${big[2]}")
    printf '%-44s %10.3f %10.3f %8s %s\n' "time" "${big[1]}" "${big[2]}" "${r}x" \
        ">= ${jobs_floor}x: $(verdict "$r" '>=' "$jobs_floor")"
fi
printf '%-44s %10s %10s %8s %s\n' "two computing processes at once, this machine" "" "" "${big[ceiling]:-?}x" \
    "(the ceiling of -j 2 here)"
if [[ -n ${rss[single]:-} && -n ${rss[parallel]:-} ]]; then
    r=$(ratio "${rss[parallel]}" "${rss[single]}")
    printf '\n%-44s %10s %10s %8s %s\n' "peak memory ($rss_how)" "one (KiB)" "-j 2 (KiB)" "ratio" "target"
    printf '%-44s %10s %10s %8s %s\n' "encrypt" "${rss[single]}" "${rss[parallel]}" "${r}x" \
        "< ${memory_ceiling}x: $(verdict "$r" '<' "$memory_ceiling")"
fi
printf '\n'
[[ -s $work/problems ]] && exit 1
exit 0
