#!/usr/bin/env bash
# Sets Vorlaxen's cipher speeds beside those of the crypto libraries on this machine (OpenSSL, Botan,
# libgcrypt), adds the whole-file speeds and the peak memory of the command-line companion, and checks
# all of it against our performance targets. Peers that are missing are installed first where that is
# possible (Debian packages, as root or through sudo without a password), the way scripts/install-deps
# installs the build's. It is a report: it exits 0 even when a target is missed, and non-zero only when
# something could not be built or run at all.
#
#   bench/compare.sh                       (from any directory)
#
# Environment:
#   BUILD_DIR        build directory to use, configured (Release) and built when needed;
#                    default: build/ at the top of the repository
#   MIN_TIME         --benchmark_min_time of each cipher_bench repetition, in seconds (default 0.4)
#   CIPHER_REPETITIONS repetitions of each cipher_bench loop, of which the best counts (default 5)
#   OPENSSL_SECONDS  seconds per `openssl speed` figure (default 2)
#   BOTAN_MSEC       milliseconds per `botan speed` encryption figure (default 1000)
#   GCRYPT_RUNS      runs of which the libgcrypt peer keeps the best (default 5)
#   FILE_REPETITIONS rounds of the whole-file benchmarks, each file run after its loop, of which the best
#                    of each counts (default 3)
#   VERBOSE=1        also print every tool's own output
#   INSTALL_PEERS=0  do not install missing peers
#   TMPDIR           where the 256 MiB scratch files go (default /tmp)

set -u -o pipefail

source "$(dirname "${BASH_SOURCE[0]}")/build.sh"
min_time=${MIN_TIME:-0.4}
cipher_repetitions=${CIPHER_REPETITIONS:-5}
openssl_seconds=${OPENSSL_SECONDS:-2}
botan_msec=${BOTAN_MSEC:-1000}
gcrypt_runs=${GCRYPT_RUNS:-5}
file_repetitions=${FILE_REPETITIONS:-3}
verbose=${VERBOSE:-0}
install_peers=${INSTALL_PEERS:-1}

# Targets.
# Our encryption / the fastest peer's encryption of the same cipher, with the data checksum taken among
# the rounds, as the engine runs it.
declare -A encrypt_floor=([IDEA]=1.15 [DES]=1.20 [3xDES]=1.20)
declare -A encrypt_source=([IDEA]=checksum [DES]=checksum [3xDES]=checksum)
decrypt_floor=2.00      # our decryption / the reference peer's decryption (below)
file_floor=0.95         # whole-file encryption / in-memory block loop of the same method
file_decrypt_floor=0.80 # whole-file decryption / in-memory decryption with the checksum
# The critical path of one IDEA block in cipher block chaining encryption: 167 cycles on a processor with
# a three-cycle multiplier and one-cycle XOR and addition, so 20.875 cycles per byte (bench/README.md).
# IDEA encryption with the checksum passes within 15% of it: at 1/1.15 of the speed it allows or more.
idea_floor_cycles_per_byte=20.875
idea_floor_fraction=0.87
rss_limit_kib=10240

# Decryption is held against these peers: Botan's IDEA decryption (SSE2, eight blocks at once) and the
# fastest peer for DES and Triple DES. CBC decryption runs blocks in parallel, which our vector loops
# exploit; the other IDEA decryption figures are shown for information.
declare -A decrypt_reference=([IDEA]="botan" [DES]="any" [3xDES]="any")

ciphers=(IDEA DES 3xDES)
declare -A cipher_label=([IDEA]="IDEA-CBC" [DES]="DES-CBC" [3xDES]="3xDES-CBC")
peers=(openssl botan libgcrypt)
declare -A peer_label=([openssl]="OpenSSL" [botan]="Botan" [libgcrypt]="libgcrypt")

mib=1048576
failures=0
declare -A value     # "<source>/<cipher>/<encrypt|decrypt>" -> MiB/s
declare -A peer_note # peer -> "not installed", "error", or what was run
declare -A isa_of    # "<cipher>/<direction>" -> instruction set of our loop

calc() { awk "BEGIN { $1 }" </dev/null; }
note() { printf '%s\n' "$*" >&2; }
problem() {
    note "compare.sh: $*"
    failures=$((failures + 1))
}
show_log() { # file: the tool's output, in full when verbose, else its tail
    if [[ $verbose == 1 ]]; then
        sed 's/^/    | /' "$1" >&2
    fi
}
show_failure_log() {
    [[ $verbose == 1 ]] || tail -n 15 "$1" | sed 's/^/    | /' >&2
}

work=$(mktemp -d "${TMPDIR:-/tmp}/vorlaxen-compare.XXXXXX") || {
    note "compare.sh: cannot create a scratch directory under ${TMPDIR:-/tmp}"
    exit 1
}
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

started=$SECONDS
load_at_start=$(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null)

# ------------------------------------------------------------------------------------ missing peers
# Debian packages of the peers: Botan's command-line tool, libgcrypt's headers for bench/gcrypt_peer,
# OpenSSL's command-line tool.
peer_packages="botan libgcrypt20-dev openssl"
installed_peers=0
if [[ $install_peers == 1 ]] && command -v dpkg-query >/dev/null 2>&1 && command -v apt-get >/dev/null 2>&1; then
    missing=()
    for package in $peer_packages; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    if ((${#missing[@]} > 0)); then
        sudo=()
        if [[ $(id -u) -ne 0 ]]; then
            if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
                sudo=(sudo)
            else
                sudo=(unavailable)
            fi
        fi
        if [[ ${sudo[0]:-} == unavailable ]]; then
            note "compare.sh: cannot install ${missing[*]} (not root, and sudo asks for a password): those peers show n/i"
        else
            note "installing the missing peers: ${missing[*]}"
            if "${sudo[@]}" apt-get update -q >"$work/install.log" 2>&1 &&
                "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" \
                    >>"$work/install.log" 2>&1; then
                installed_peers=1
            else
                tail -n 15 "$work/install.log" | sed 's/^/    | /' >&2
                note "compare.sh: installing ${missing[*]} failed: those peers show n/i"
            fi
        fi
    fi
fi

# ---------------------------------------------------------------------------------------------- build
configure_build "$work" || exit 1
if [[ $installed_peers == 1 ]]; then
    # A new libgcrypt is found only by configuring again.
    note "configuring $build_dir again for the installed peers"
    if ! cmake "$build_dir" >"$work/configure.log" 2>&1; then
        tail -n 30 "$work/configure.log" >&2
        note "compare.sh: cannot configure $build_dir"
        exit 1
    fi
fi
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
note "building vorlaxen-cli and the benchmarks in $build_dir"
if ! cmake --build "$build_dir" --target vorlaxen-cli bench_tools >"$work/build.log" 2>&1; then
    tail -n 30 "$work/build.log" >&2
    if grep -q 'bench_tools' "$work/build.log"; then
        note "compare.sh: the benchmarks are not part of $build_dir (Google Benchmark not found, or VORLAXEN_BENCH=OFF)"
    fi
    note "compare.sh: the build failed"
    exit 1
fi
cipher_bench=$build_dir/bench/cipher_bench
file_bench=$build_dir/bench/file_bench
gcrypt_peer=$build_dir/bench/gcrypt_peer
peak_rss=$build_dir/bench/peak_rss
cli=$build_dir/src/cli/vorlaxen-cli

# A benchmark that reports an error leaves no figure behind: every one of ours must be there.
require_figures() { # log tool source...
    local log=$1 tool=$2 source cipher direction missing=""
    shift 2
    for source in "$@"; do
        for cipher in "${ciphers[@]}"; do
            for direction in encrypt decrypt; do
                [[ -n ${value[$source/$cipher/$direction]:-} ]] || missing+=" $cipher-$direction"
            done
        done
    done
    if [[ -n $missing ]]; then
        grep -i 'error' "$log" | sed 's/^/    | /' >&2
        problem "$tool gave no figure for$missing"
    fi
}

# Reads Google Benchmark JSON and prints "<name> <MiB/s> <label>" for every benchmark with a byte rate
# (the label is "-" when there is none), once per repetition; aggregates (mean, median...) are skipped.
benchmark_rates() {
    awk -v mib="$mib" '
        /"name":/ { name = $0; sub(/^[^:]*: *"/, "", name); sub(/".*$/, "", name); label = "-"; aggregate = 0 }
        /"run_type": *"aggregate"/ { aggregate = 1 }
        /"label":/ { label = $0; sub(/^[^:]*: *"/, "", label); sub(/".*$/, "", label) }
        /"bytes_per_second":/ { rate = $0; sub(/^[^:]*: */, "", rate); sub(/,.*$/, "", rate); pending = 1 }
        /^ *}/ { if (pending && !aggregate) printf "%s %.4f %s\n", name, rate / mib, label; pending = 0 }' "$1"
}

# Sets value[key] to rate unless it holds a higher one already: the best of several repetitions.
keep_best() { # key rate
    local best=${value[$1]:-}
    if [[ -z $best ]] || calc "exit !($2 > $best)"; then
        value[$1]=$2
    fi
}

# ------------------------------------------------------------------------------ ours, in memory
# Each loop runs several times and its best run counts, as for the libgcrypt peer (best of its runs) and
# the whole-file figures: other work on the machine only ever slows a run down.
# Keeps the best of cipher_bench's figures in $1 (JSON) beside those already kept.
read_cipher_figures() { # json
    local name rate label short cipher rest direction clock
    while read -r name rate label; do
        # CipherLoop/IDEA_encrypt, CipherLoop/DES_decrypt_checksum, ..., Checksum
        if [[ $name == Checksum ]]; then
            keep_best checksum_alone "$rate"
            continue
        fi
        [[ $name == CipherLoop/* ]] || continue
        short=${name#CipherLoop/}
        cipher=${short%%_*}
        rest=${short#*_}
        direction=${rest%%_*}
        if [[ $rest == *_checksum ]]; then
            keep_best "checksum/$cipher/$direction" "$rate"
        else
            keep_best "ours/$cipher/$direction" "$rate"
        fi
        # The instruction set the loop ran in, as cipher_bench labels it.
        isa_of[$cipher/$direction]=$label
    done < <(benchmark_rates "$1")
    # The processor's clock, from cipher_bench Clock (a chain of one-cycle XORs), the highest of its
    # repetitions like every other figure; absent on processors where it is not measured.
    clock=$(awk '/"name":/ { clock = ($0 ~ /"name": "Clock"/) }
        /"run_type": *"aggregate"/ { clock = 0 }
        clock && /"cycles_per_second":/ { v = $0; sub(/^[^:]*: */, "", v); sub(/,.*$/, "", v); if (best == "" || v + 0 > best + 0) best = v }
        END { if (best != "") print best }' "$1")
    [[ -n $clock ]] && keep_best clock "$clock"
}

note "cipher_bench: block loops over 16 MiB, best of $cipher_repetitions runs (min time ${min_time} s each)"
if "$cipher_bench" --benchmark_min_time="$min_time" --benchmark_repetitions="$cipher_repetitions" \
    --benchmark_out="$work/cipher.json" --benchmark_out_format=json >"$work/cipher.log" 2>&1; then
    show_log "$work/cipher.log"
    read_cipher_figures "$work/cipher.json"
    require_figures "$work/cipher.log" cipher_bench ours checksum
else
    show_failure_log "$work/cipher.log"
    problem "cipher_bench failed"
fi

# ---------------------------------------------------------------------------------------- OpenSSL
if command -v openssl >/dev/null 2>&1; then
    peer_note[openssl]="$(openssl version 2>/dev/null | awk '{print $2}'), openssl speed -evp, 16 KiB buffers, ${openssl_seconds} s each"
    # Single DES lives in the legacy provider; Triple DES in the default one.
    for job in "DES des-cbc -provider legacy -provider default" "3xDES des-ede3-cbc"; do
        read -r cipher evp providers <<<"$job"
        for direction in encrypt decrypt; do
            flag=()
            [[ $direction == decrypt ]] && flag=(-decrypt)
            note "openssl speed -evp $evp ${flag[*]}"
            # shellcheck disable=SC2086 # the provider options are meant to split
            if openssl speed $providers -seconds "$openssl_seconds" -bytes 16384 -mr -evp "$evp" "${flag[@]}" \
                >"$work/openssl.log" 2>&1; then
                show_log "$work/openssl.log"
                # -mr prints "+F:<n>:<name>:<bytes per second>" (the table without -mr is in 1000-byte k).
                rate=$(awk -F: -v mib="$mib" '/^\+F:/ { r = $NF } END { if (r != "") printf "%.4f", r / mib }' "$work/openssl.log")
                if [[ -n $rate ]]; then
                    value[openssl/$cipher/$direction]=$rate
                    continue
                fi
            fi
            show_failure_log "$work/openssl.log"
            problem "openssl speed -evp $evp ${flag[*]} did not run"
            peer_note[openssl]="error (see above)"
        done
    done
else
    peer_note[openssl]="not installed"
fi

# ------------------------------------------------------------------------------------------ Botan
if command -v botan >/dev/null 2>&1; then
    peer_note[botan]="$(botan version 2>/dev/null), botan speed, 16 KiB buffers, ${botan_msec} ms each"
    note "botan speed IDEA/CBC DES/CBC TripleDES/CBC"
    if botan speed --msec="$botan_msec" --buf-size=16384 --format=json IDEA/CBC DES/CBC TripleDES/CBC \
        >"$work/botan.log" 2>&1; then
        show_log "$work/botan.log"
        # {"algo": "DES/CBC/PKCS7", "op": "encrypt", ..., "bps": <bytes per second>, ...}
        while read -r algo direction bps; do
            case $algo in
            IDEA) cipher=IDEA ;;
            DES) cipher=DES ;;
            TripleDES) cipher=3xDES ;;
            *) continue ;;
            esac
            value[botan/$cipher/$direction]=$(awk -v b="$bps" -v mib="$mib" 'BEGIN { printf "%.4f", b / mib }')
        done < <(sed -n 's/.*"algo": *"\([A-Za-z]*\)\/[^"]*", *"op": *"\(encrypt\|decrypt\)".*"bps": *\([0-9.e+]*\).*/\1 \2 \3/p' \
            "$work/botan.log")
    fi
    for cipher in "${ciphers[@]}"; do
        for direction in encrypt decrypt; do
            if [[ -z ${value[botan/$cipher/$direction]:-} ]]; then
                show_failure_log "$work/botan.log"
                problem "botan speed gave no $cipher $direction figure"
                peer_note[botan]="error (see above)"
                break 2
            fi
        done
    done
else
    peer_note[botan]="not installed"
fi

# -------------------------------------------------------------------------------------- libgcrypt
read_gcrypt_figures() { # log
    local cipher direction rate
    while read -r _ cipher direction rate; do
        [[ $cipher == 3DES ]] && cipher=3xDES
        [[ $rate =~ ^[0-9.]+$ ]] && keep_best "libgcrypt/$cipher/$direction" "$rate"
    done < <(grep '^libgcrypt ' "$1")
}

if [[ -x $gcrypt_peer ]]; then
    note "gcrypt_peer: CBC over 16 MiB, best of $gcrypt_runs"
    if "$gcrypt_peer" --runs "$gcrypt_runs" >"$work/gcrypt.log" 2>&1; then
        show_log "$work/gcrypt.log"
        version=$(sed -n 's/^# libgcrypt \([^,]*\),.*/\1/p' "$work/gcrypt.log")
        peer_note[libgcrypt]="${version}, bench/gcrypt_peer, 16 MiB buffer, best of $gcrypt_runs"
    else
        show_failure_log "$work/gcrypt.log"
        problem "gcrypt_peer failed"
        peer_note[libgcrypt]="error (see above)"
    fi
    read_gcrypt_figures "$work/gcrypt.log"
else
    peer_note[libgcrypt]="not installed (bench/gcrypt_peer is built only where libgcrypt is found)"
fi

# ------------------------------------------------------------------ ours and libgcrypt, once more
# Our encryption is held against libgcrypt's within a few percent, and the machine's speed jumps by a
# quarter for seconds at a time (a virtual machine beside others): both are measured once more, one
# right after the other, and the best of all their runs counts, so that neither keeps a quiet moment the
# other did not have.
if [[ -x $gcrypt_peer ]] && ((failures == 0)); then
    note "cipher_bench encryption loops and gcrypt_peer once more, one after the other"
    if "$cipher_bench" --benchmark_filter='CipherLoop/.*_encrypt|Clock' --benchmark_min_time="$min_time" \
        --benchmark_repetitions="$cipher_repetitions" --benchmark_out="$work/again.json" \
        --benchmark_out_format=json >"$work/again.log" 2>&1 &&
        "$gcrypt_peer" --runs "$gcrypt_runs" >"$work/gcrypt-again.log" 2>&1; then
        read_cipher_figures "$work/again.json"
        read_gcrypt_figures "$work/gcrypt-again.log"
    else
        show_failure_log "$work/again.log"
        problem "the second round of cipher_bench and gcrypt_peer failed"
    fi
fi

# ---------------------------------------------------------------------------------- ours, on disk
# Each whole-file run is held against its block loop measured again right before it, for as long as the
# file takes (256 MiB at the loop's speed in the first section), and the best of each over the rounds
# counts: the machine's own speed drifts over minutes and jumps for seconds (a virtual machine beside
# others), so a loop measured at the start of the script and a file minutes later would compare two
# machines, and the best of a few short loop runs catches a quiet second more often than a file that runs
# for two. The loops of the first section still count for the peers and the floor.
note "file_bench: EncryptFile and DecryptFile of 256 MiB files in ${TMPDIR:-/tmp}, best of $file_repetitions rounds, each after its loop"
for ((round = 1; round <= file_repetitions; round++)); do
    for cipher in "${ciphers[@]}"; do
        for direction in encrypt decrypt; do
            # The decryption of a file is held against the loop with the checksum, its encryption against
            # the plain loop.
            loop="CipherLoop/${cipher}_${direction}"
            [[ $direction == decrypt ]] && loop+="_checksum"
            file="File${direction^}/$cipher/"
            first=${value[ours/$cipher/$direction]:-}
            [[ $direction == decrypt ]] && first=${value[checksum/$cipher/$direction]:-}
            loop_time=$min_time
            [[ -n $first ]] && loop_time=$(calc "t = 256 / $first; printf \"%.2f\", (t > $min_time ? t : $min_time)")
            if ! "$cipher_bench" --benchmark_filter="^$loop\$" --benchmark_min_time="$loop_time" \
                --benchmark_out="$work/beside.json" --benchmark_out_format=json >"$work/beside.log" 2>&1; then
                show_failure_log "$work/beside.log"
                problem "cipher_bench $loop failed"
                break 3
            fi
            while read -r _ rate _; do
                keep_best "beside/$cipher/$direction" "$rate"
            done < <(benchmark_rates "$work/beside.json")
            if ! "$file_bench" --benchmark_filter="^$file" --benchmark_out="$work/file.json" \
                --benchmark_out_format=json >"$work/file.log" 2>&1; then
                show_failure_log "$work/file.log"
                problem "file_bench $file failed"
                break 3
            fi
            show_log "$work/file.log"
            while read -r name rate _; do
                [[ $name == */real_time ]] && keep_best "file/$cipher/$direction" "$rate"
            done < <(benchmark_rates "$work/file.json")
        done
    done
done
require_figures "$work/file.log" file_bench file beside

# ------------------------------------------------------------------------------------ peak memory
rss_kib=""
rss_tool=()
if [[ -x /usr/bin/time ]] && [[ $(/usr/bin/time -f %M true 2>&1) =~ ^[0-9]+$ ]]; then
    rss_tool=(/usr/bin/time -f %M)
    rss_how="GNU time"
elif [[ -x $peak_rss ]]; then
    rss_tool=("$peak_rss")
    rss_how="bench/peak_rss"
fi
if [[ ${#rss_tool[@]} -eq 0 ]]; then
    problem "no way to measure peak memory (neither GNU time nor bench/peak_rss)"
else
    note "vorlaxen-cli encrypt --method idea of a 256 MiB file, peak memory by $rss_how"
    mkdir -p "$work/rss"
    if head -c $((256 * mib)) /dev/urandom >"$work/rss/plain.bin" 2>"$work/rss.log"; then
        VORLAXEN_PASSWORD=rss-bench "${rss_tool[@]}" "$cli" encrypt --keep --force --method idea "$work/rss/plain.bin" \
            </dev/null >"$work/rss.out" 2>"$work/rss.log"
        status=$?
        last=$(tail -n 1 "$work/rss.log")
        if [[ $status -eq 0 && $last =~ ^[0-9]+$ && -f $work/rss/plain.bin.cry ]]; then
            rss_kib=$last
            show_log "$work/rss.log"
        else
            cat "$work/rss.out" "$work/rss.log" | tail -n 15 | sed 's/^/    | /' >&2
            problem "vorlaxen-cli encrypt failed (status $status)"
        fi
    else
        problem "cannot write a 256 MiB file in ${TMPDIR:-/tmp}"
    fi
    rm -rf "$work/rss"
fi

# -------------------------------------------------------------------------------------------- report
num() { # value or "-" ; with (…) when the figure is for information only
    local v=$1 info=${2:-}
    if [[ -z $v ]]; then
        printf '%s' "-"
    elif [[ -n $info ]]; then
        calc "printf \"(%.1f)\", $v"
    else
        calc "printf \"%.1f\", $v"
    fi
}
pass=0
fail=0
skip=0
judge() { # ratio-expression floor: sets result to PASS or FAIL and counts it
    if calc "exit !($1 >= $2)"; then
        pass=$((pass + 1))
        result=PASS
    else
        fail=$((fail + 1))
        result=FAIL
    fi
}

row() { printf '  %-10s %-8s %-7s %9s %9s %9s %9s  | %-17s %6s %8s  %s\n' "$@"; }

echo
echo "Vorlaxen benchmark comparison, $(date '+%Y-%m-%d %H:%M')"
echo "Machine:   $(sed -n 's/^model name[[:space:]]*: *//p' /proc/cpuinfo 2>/dev/null | head -n 1), $(nproc 2>/dev/null) cores," \
    "load average at start ${load_at_start:-unknown}"
echo "Ours:      $build_dir (${build_type:-unknown build type})$([[ ${build_type:-} == Release ]] || echo '  WARNING: not a Release build')"
for peer in "${peers[@]}"; do
    printf '%-11s%s\n' "${peer_label[$peer]}:" "${peer_note[$peer]}"
done
echo "All figures in MiB/s (2^20 bytes per second); higher is better."
echo

row "Cipher" "" "Loop" "Vorlaxen" "OpenSSL" "Botan" "libgcrypt" "Reference" "Ratio" "Target" "Result"
printf '  %s\n' "$(printf '%.0s-' {1..112})"
echo "  In memory: our block loop over 16 MiB (cipher_bench) beside each library's CBC mode"
for cipher in "${ciphers[@]}"; do
    for direction in encrypt decrypt; do
        ours=${value[ours/$cipher/$direction]:-}
        [[ $direction == encrypt ]] && ours=${value[${encrypt_source[$cipher]}/$cipher/$direction]:-}
        cells=()
        best=""
        best_peer=""
        for peer in "${peers[@]}"; do
            v=${value[$peer/$cipher/$direction]:-}
            counts=1
            if [[ $direction == decrypt && ${decrypt_reference[$cipher]} != any && ${decrypt_reference[$cipher]} != "$peer" ]]; then
                counts=""
            fi
            if [[ -n $v && -n $counts ]] && { [[ -z $best ]] || calc "exit !($v > $best)"; }; then
                best=$v
                best_peer=$peer
            fi
            if [[ -z $v && ${peer_note[$peer]} == not\ installed* ]]; then
                cells+=("n/i")
            elif [[ -z $counts ]]; then
                cells+=("$(num "$v" info)")
            else
                cells+=("$(num "$v")")
            fi
        done
        floor=${encrypt_floor[$cipher]}
        [[ $direction == decrypt ]] && floor=$decrypt_floor
        if [[ -z $ours ]]; then
            reference="-"
            ratio="-"
            result="FAIL (not measured)"
            fail=$((fail + 1))
        elif [[ -z $best ]]; then
            reference="no peer"
            ratio="-"
            result="SKIP"
            skip=$((skip + 1))
        else
            reference="${peer_label[$best_peer]} $(num "$best")"
            ratio=$(calc "printf \"%.2f\", $ours / $best")
            judge "$ours / $best" "$floor"
        fi
        loop=${isa_of[$cipher/$direction]:--}
        [[ $direction == encrypt && ${encrypt_source[$cipher]} == checksum ]] && loop="$loop+cs"
        row "${cipher_label[$cipher]}" "$direction" "$loop" "$(num "$ours")" "${cells[@]}" \
            "$reference" "$ratio" ">= $floor" "$result"
    done
done
echo "  The data checksum alone (cipher_bench Checksum), the ceiling of every loop that takes it: $(num "${value[checksum_alone]:-}") MiB/s"

# IDEA encryption against the floor of its chain, in MiB/s at the clock measured in the same run.
ours=${value[checksum/IDEA/encrypt]:-}
clock=${value[clock]:-}
if [[ -n $ours && -n $clock ]]; then
    floor_rate=$(calc "printf \"%.4f\", $clock / $idea_floor_cycles_per_byte / $mib")
    ours_cpb=$(calc "printf \"%.1f\", $clock / ($ours * $mib)")
    judge "$ours / $floor_rate" "$idea_floor_fraction"
    row "IDEA-CBC" "floor" "" "$(num "$ours")" "" "" "" "floor $(num "$floor_rate")" \
        "$(calc "printf \"%.2f\", $ours / $floor_rate")" ">= $idea_floor_fraction" "$result"
    echo "  IDEA encryption with the checksum: $ours_cpb cycles per byte at $(calc "printf \"%.2f\", $clock / 1e9") GHz" \
        "(cipher_bench Clock); the floor of its chain is $idea_floor_cycles_per_byte"
elif [[ -z $ours ]]; then
    row "IDEA-CBC" "floor" "" "-" "" "" "" "floor" "-" ">= $idea_floor_fraction" "FAIL (not measured)"
    fail=$((fail + 1))
else
    row "IDEA-CBC" "floor" "" "$(num "$ours")" "" "" "" "no clock" "-" ">= $idea_floor_fraction" "SKIP"
    skip=$((skip + 1))
fi

echo
echo "  Whole file: EncryptFile/DecryptFile of 256 MiB, flushed to disk (file_bench), beside the block loop"
row "Method" "" "" "file" "in memory" "+checksum" "" "Reference" "Ratio" "Target" "Result"
for cipher in "${ciphers[@]}"; do
    for direction in encrypt decrypt; do
        file=${value[file/$cipher/$direction]:-}
        memory=${value[ours/$cipher/$direction]:-}
        checksum=${value[checksum/$cipher/$direction]:-}
        reference=${value[beside/$cipher/$direction]:-}
        # Encryption against the plain block loop, decryption against the loop with the checksum, which
        # a file's decryption cannot outrun; both measured beside the file (the first section's figures
        # for information).
        if [[ $direction == decrypt ]]; then
            reference_text="+checksum $(num "$reference")"
            floor=$file_decrypt_floor
            memory_cell=$(num "$memory" info)
            checksum_cell=$(num "$checksum" info)
        else
            reference_text="in memory $(num "$reference")"
            floor=$file_floor
            memory_cell=$(num "$memory" info)
            checksum_cell=$(num "$checksum" info)
        fi
        ratio="-"
        if [[ -z $file || -z $reference ]]; then
            result="FAIL (not measured)"
            fail=$((fail + 1))
        else
            ratio=$(calc "printf \"%.2f\", $file / $reference")
            judge "$file / $reference" "$floor"
        fi
        row "${cipher_label[$cipher]%-CBC}" "$direction" "" "$(num "$file")" "$memory_cell" "$checksum_cell" "" \
            "$reference_text" "$ratio" ">= $floor" "$result"
    done
done

echo
echo "  Peak resident memory of vorlaxen-cli encrypt --method idea on a 256 MiB file (${rss_how:-not measured})"
if [[ -n $rss_kib ]]; then
    rss_mib=$(calc "printf \"%.1f MiB\", $rss_kib / 1024")
    ratio=$(calc "printf \"%.2f\", $rss_kib / $rss_limit_kib")
    if ((rss_kib < rss_limit_kib)); then
        result=PASS
        pass=$((pass + 1))
    else
        result=FAIL
        fail=$((fail + 1))
    fi
else
    rss_mib="-"
    ratio="-"
    result="FAIL (not measured)"
    fail=$((fail + 1))
fi
row "cli" "encrypt" "" "$rss_mib" "" "" "" "limit $((rss_limit_kib / 1024)) MiB" "$ratio" "< 1.00" "$result"
printf '  %s\n' "$(printf '%.0s-' {1..112})"

cat <<EOF
  Ratio: ours / reference. Encryption is held against the fastest peer of the same cipher, with the
  data checksum taken (Loop "+cs"), as the engine runs it, and IDEA's against the speed that the critical
  path of its chain allows (the floor, at the clock cipher_bench measured in the same run); decryption
  against Botan for IDEA (its SSE2 loop) and the fastest peer for DES and Triple DES. "Loop" is the
  instruction set our loop ran in (scalar, avx2, avx512; VORLAXEN_VECTOR_ISA caps it). Our in-memory
  figures are the best of $cipher_repetitions runs, libgcrypt's the best of $gcrypt_runs (our encryption loops and
  libgcrypt are measured twice, one after the other, and the best of both counts), OpenSSL's and
  Botan's what those tools report for their whole run. Figures in parentheses are for information only. "-": not measured (OpenSSL is not run for IDEA, which its
  providers here do not offer); "n/i": the peer is not installed, and targets left without a peer are
  skipped. Whole files are held against their loop measured again right before each of the
  $file_repetitions rounds (the best of each; the first section's figures in parentheses); decryption against the
  loop with the checksum.

Targets: $pass PASS, $fail FAIL, $skip skipped.  ($((SECONDS - started)) s)
EOF

if ((failures > 0)); then
    note "compare.sh: $failures part(s) could not run; see the messages above"
    exit 1
fi
exit 0
