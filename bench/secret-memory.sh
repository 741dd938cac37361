#!/usr/bin/env bash
# The companion's secret memory beside the process's lock limit, and its peak resident memory. Every
# buffer that holds a password, a key, a key schedule or plain data is locked in memory while the lock
# limit (RLIMIT_MEMLOCK, 8 MiB by default on Debian 12) leaves room; this checks that one operation
# stays within it, also with -j, and that locking costs no memory beyond the buffers themselves:
#
#   1. encrypt, rekey and decrypt of one 256 MiB file: the most locked at once (the program's own count,
#      which VORLAXEN_DEBUG prints at exit, and VmLck sampled while it runs), whether a lock was refused,
#      and the peak resident memory of the encryption (GNU time's %M, else bench/peak_rss): about 4 MiB;
#   2. encrypt of sixteen 16 MiB files with -j 1, 2, 4, 8 and 16, and decrypt of their containers with
#      -j 1, 8 and 16: the same figures.
#
# Targets: never more locked than the limit; nothing refused up to -j 16 (each file in flight locks about
# 0.27 MiB: its read buffer, chunk and key schedules; an encryption's output buffer holds only ciphertext
# and is ordinary memory; beyond the limit the rest is kept out of core dumps and zeroed but not locked,
# which the table shows as refused); the peak resident memory of the 256 MiB encryption under 5 MiB. A report: it exits 0 when everything ran, whatever the verdicts,
# and 1 when something could not be built or run, or a result was wrong.
#
#   bench/secret-memory.sh                 (from any directory)
#
# Environment:
#   BUILD_DIR  build directory to use, configured (Release) and built when needed;
#              default: build/ at the top of the repository
#   TMPDIR     where the scratch files go, about 800 MiB at most (default /tmp)

set -u -o pipefail

source "$(dirname "${BASH_SOURCE[0]}")/build.sh"
rss_ceiling=5120 # KiB, peak resident memory of encrypting 256 MiB
mib=1048576

note() { printf '%s\n' "$*" >&2; }
problem() {
    note "secret-memory.sh: $*"
    printf '%s\n' "$*" >>"$work/problems"
}
work=$(mktemp -d "${TMPDIR:-/tmp}/vorlaxen-secret-memory.XXXXXX") || {
    note "secret-memory.sh: cannot create a scratch directory under ${TMPDIR:-/tmp}"
    exit 1
}
trap 'rm -rf "$work"' EXIT

# ------------------------------------------------------------------------------------------ build
targets=(vorlaxen-cli)
[[ -x /usr/bin/time ]] || targets+=(peak_rss)
build_targets "$work" "${targets[@]}" || exit 1
cli=$build_dir/src/cli/vorlaxen-cli
if [[ -x /usr/bin/time ]] && [[ $(/usr/bin/time -f %M true 2>&1) =~ ^[0-9]+$ ]]; then
    rss_tool=(/usr/bin/time -f %M)
else
    rss_tool=("$build_dir/bench/peak_rss")
fi

export VORLAXEN_PASSWORD=bench-password
export VORLAXEN_NEW_PASSWORD=other-password
export HOME=$work/home # no key file of the user's is read or written
mkdir -p "$HOME"
limit_kib=$(ulimit -l)

# Runs the companion with the debug log on, sampling the system's count of its locked memory while it
# runs; sets `own` (the program's count, KiB), `seen` (the largest VmLck sampled, KiB) and `refused`.
locked_run() {
    VORLAXEN_DEBUG=1 "$cli" "$@" >"$work/out.log" 2>"$work/debug.log" &
    local pid=$! lck
    seen=0
    while kill -0 "$pid" 2>/dev/null; do
        lck=$(awk '/^VmLck:/ { print $2 }' "/proc/$pid/status" 2>/dev/null)
        [[ -n $lck ]] && ((lck > seen)) && seen=$lck
        sleep 0.01
    done
    wait "$pid" || problem "vorlaxen-cli $* failed: $(tail -n 3 "$work/out.log" "$work/debug.log" | tr '\n' ' ')"
    own=$(sed -n 's/.*at most \([0-9]*\) KiB locked at once.*/\1/p' "$work/debug.log" | tail -n 1)
    [[ -n $own ]] || problem "vorlaxen-cli $* said nothing of its locked memory"
    refused=no
    grep -q 'could not be locked' "$work/debug.log" && refused=yes
}

verdict() { # locked KiB, refused allowed (yes/no)
    local locked=$1
    if [[ $limit_kib != unlimited ]] && ((locked > limit_kib)); then
        printf 'MISS (over the limit)'
    elif [[ $refused == yes && $2 == no ]]; then
        printf 'MISS (refused)'
    else
        printf 'pass'
    fi
}

rows=()
row() { rows+=("$(printf '%-36s %12s %12s %8s  %s' "$@")"); }

# ------------------------------------------------------------------------------------- one large file
note "one file of 256 MiB: encrypt, rekey, decrypt"
mkdir -p "$work/one"
head -c $((256 * mib)) /dev/urandom >"$work/one/big"
cp "$work/one/big" "$work/one/original"
locked_run encrypt --method idea "$work/one/big"
row "encrypt, 256 MiB" "${own:-?}" "$seen" "$refused" "$(verdict "${own:-0}" no)"
locked_run rekey --method 3xdes "$work/one/big.cry"
row "rekey, 256 MiB" "${own:-?}" "$seen" "$refused" "$(verdict "${own:-0}" no)"
export VORLAXEN_PASSWORD=$VORLAXEN_NEW_PASSWORD
locked_run decrypt "$work/one/big.cry"
row "decrypt, 256 MiB" "${own:-?}" "$seen" "$refused" "$(verdict "${own:-0}" no)"
cmp -s "$work/one/big" "$work/one/original" || problem "the round trip did not give the file back"
export VORLAXEN_PASSWORD=bench-password
rm -f "$work/one/original"
sync
rss=$("${rss_tool[@]}" "$cli" encrypt --method idea "$work/one/big" 2>&1 >/dev/null | tail -n 1)
[[ $rss =~ ^[0-9]+$ ]] || problem "no peak resident memory for the encryption: $rss"
rm -rf "$work/one"

# ---------------------------------------------------------------------------------- several files
note "sixteen files of 16 MiB: encrypt with -j 1, 2, 4, 8, 16"
mkdir -p "$work/many"
for ((i = 1; i <= 16; ++i)); do
    head -c $((16 * mib)) /dev/urandom >"$work/many/f$i"
done
for jobs in 1 2 4 8 16; do
    rm -rf "$work/run"
    cp -r "$work/many" "$work/run"
    locked_run encrypt -j "$jobs" "$work/run"/f*
    [[ $(find "$work/run" -name '*.cry' | wc -l) -eq 16 ]] || problem "encrypt -j $jobs left files"
    allowed=no
    ((jobs > 16)) && allowed=yes
    row "encrypt -j $jobs, 16 x 16 MiB" "${own:-?}" "$seen" "$refused" "$(verdict "${own:-0}" "$allowed")"
done
for jobs in 1 8 16; do
    rm -rf "$work/back"
    cp -r "$work/run" "$work/back"
    locked_run decrypt -j "$jobs" "$work/back"/f*.cry
    [[ $(find "$work/back" -name '*.cry' | wc -l) -eq 0 ]] || problem "decrypt -j $jobs left containers"
    allowed=no
    ((jobs > 16)) && allowed=yes
    row "decrypt -j $jobs, 16 x 16 MiB" "${own:-?}" "$seen" "$refused" "$(verdict "${own:-0}" "$allowed")"
done
cmp -s "$work/back/f1" "$work/many/f1" || problem "decrypt -j did not give the files back"
rm -rf "$work/run" "$work/back" "$work/many"

# ----------------------------------------------------------------------------------------- report
printf '\nvorlaxen-cli secret memory (%s processors, lock limit %s KiB; load at the end: %s)\n\n' \
    "$(nproc)" "$limit_kib" "$(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null)"
printf '%-36s %12s %12s %8s  %s\n' "" "locked (KiB)" "VmLck (KiB)" "refused" "target"
printf '%s\n' "${rows[@]}"
if [[ $rss =~ ^[0-9]+$ ]]; then
    printf '\n%-36s %12s KiB  < %s KiB: %s\n' "peak resident memory, encrypt 256 MiB" "$rss" "$rss_ceiling" \
        "$( ((rss < rss_ceiling)) && printf pass || printf MISS)"
fi
printf '\n'
[[ -s $work/problems ]] && exit 1
exit 0
