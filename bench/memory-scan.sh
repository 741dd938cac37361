#!/usr/bin/env bash
# Looks through the memory of a running window for what should not be there. As root, in a virtual
# display of its own: an unprivileged user starts the desktop program, with core files allowed (`ulimit
# -c unlimited`), on the command line `notes.txt /open diary.txt.cry`. The script types one password
# twice into the encryption prompt for notes.txt (xdotool), which the program encrypts and wipes, and
# another into the decryption prompt for diary.txt.cry, which it decrypts and opens in an application
# that stays open: the window then holds the second password for the watched file. The script checks
# that the window is not dumpable (/proc/PID/mem owned by root) and has a core-file limit of 0, then
# reads all of its memory (/proc/PID/mem), what the program freed included, for
#   - either password as typed, or any 8 characters of it (UTF-8 and UTF-16): must be found nowhere;
#   - the plain data of either file (every 32-byte line of them carries a marker; UTF-8 and UTF-16):
#     must be found nowhere;
#   - the second password masked as the program keeps it: for information (the watch holds it to
#     encrypt the file again).
# The companion is checked the same way (not dumpable, core-file limit 0) while it waits at its password
# prompt, and the application the window opened the file in for its core-file limit (0, inherited).
# Then the application ends, the watch encrypts the file again, and the window is closed.
#
#   sudo bench/memory-scan.sh              (from any directory; needs Xvfb, xdotool, script, setpriv)
#
# Environment:
#   BUILD_DIR    build directory, built when needed (default: build/ at the top of the repository)
#   SCAN_USER    the unprivileged user to run the programs as (default: nobody)
#   SCAN_DISPLAY the display number for Xvfb (default :61)
#   TMPDIR       where the scratch files go (default /tmp); SCAN_USER must be able to reach it
# Exit status: 0 when nothing was found, 1 when something was or a check failed, 2 when it could not run.

set -u -o pipefail

source "$(dirname "${BASH_SOURCE[0]}")/build.sh"
user=${SCAN_USER:-nobody}
display=${SCAN_DISPLAY:-:61}
notes_password='Pr4-heron-Lm?q'
diary_password='Qz7-wombat-Kx!v'

note() { printf '%s\n' "$*" >&2; }
die() {
    note "memory-scan.sh: $*"
    exit 2
}
[[ $(id -u) -eq 0 ]] || die "run it as root: it reads another process's memory"
for tool in Xvfb xdotool script setpriv iconv; do
    command -v "$tool" >/dev/null 2>&1 || die "$tool is missing"
done
id "$user" >/dev/null 2>&1 || die "no user $user (SCAN_USER)"

work=$(mktemp -d "${TMPDIR:-/tmp}/vorlaxen-memory-scan.XXXXXX") || die "cannot create a scratch directory"
chmod 755 "$work"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
    note "FAIL: $*"
    failures=$((failures + 1))
}

# ------------------------------------------------------------------------------------------ build
note "building and installing into $work/prefix"
build_targets "$work" vorlaxen vorlaxen-cli || exit 2
cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null || die "cannot install"
cc -O2 -o "$work/memory_scan" "$here/memory_scan.c" || die "cannot build memory_scan"

# ------------------------------------------------------------------------ the user's desktop
# A home of its own, settings without the tip of the day, and a text viewer that stays open until the
# script ends it: the file stays watched.
home=$work/home
mkdir -p "$home/.config/vorlaxen" "$home/.local/share/applications" "$home/files"
cat >"$home/.config/vorlaxen/settings.reg" <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CLASSES_ROOT\crypt file\Settings\Options]
"ShowTIP"=dword:00000000
EOF
cat >"$home/.local/share/applications/scan-viewer.desktop" <<EOF
[Desktop Entry]
Type=Application
Name=Scan viewer
Exec=/bin/sh -c 'exec sleep 3600' %f
MimeType=text/plain;
EOF
printf '[Default Applications]\ntext/plain=scan-viewer.desktop\n' >"$home/.config/mimeapps.list"

# The plain files: 128 lines of 32 bytes each, every line with the file's marker, so that any piece of
# them longer than a line holds a marker.
plain_file() { # marker, path
    for ((i = 0; i < 128; ++i)); do
        printf '%s %03d %s\n' "$1" "$i" "$(head -c 32 /dev/urandom | od -An -tx1 | tr -d ' \n' | head -c 19)"
    done >"$2"
    [[ $(wc -c <"$2") -eq 4096 ]] || die "the plain file is not as planned"
}
plain_file VXNOTES "$home/files/notes.txt"
plain_file VXDIARY "$home/files/diary.txt"
chown -R "$user" "$home"

as_user() {
    setpriv --reuid="$user" --regid="$(id -g "$user")" --clear-groups env -i HOME="$home" PATH=/usr/bin:/bin \
        XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" XDG_RUNTIME_DIR="$work/runtime" \
        DISPLAY="$display" "$@"
}
mkdir -m 700 "$work/runtime" && chown "$user" "$work/runtime"
as_user env VORLAXEN_PASSWORD="$diary_password" "$work/prefix/bin/vorlaxen-cli" encrypt --method idea \
    "$home/files/diary.txt" >/dev/null || die "cannot make the container"

# What to look for, each in UTF-8 and in UTF-16 (as Qt holds text): the passwords whole and every piece
# of 8 of their characters (freeing memory overwrites the start of what it held), and the markers.
needles=()
add_needle() { # label, text
    printf '%s' "$2" >"$work/$1.utf8"
    iconv -f UTF-8 -t UTF-16LE "$work/$1.utf8" >"$work/$1.utf16"
    needles+=("$1=$work/$1.utf8" "$1-utf16=$work/$1.utf16")
}
for name in notes diary; do
    declare -n typed=${name}_password
    add_needle "$name-password" "$typed"
    for ((i = 0; i + 8 <= ${#typed}; ++i)); do
        add_needle "$name-password[$i:$((i + 8))]" "${typed:i:8}"
    done
    add_needle "$name-plain" "VX${name^^}"
    unset -n typed
done
for ((i = 0; i < ${#diary_password}; ++i)); do
    printf "\\x$(printf %02x $(($(printf %d "'${diary_password:i:1}") ^ 0x5D)))"
done >"$work/masked"

# Non-dumpable, with a core-file limit of 0, as the unprivileged user left it unlimited.
protected() { # pid, label
    local owner limit
    owner=$(stat -c %U "/proc/$1/mem")
    limit=$(awk '/^Max core file size/ { print $5 " " $6 }' "/proc/$1/limits")
    printf '%-22s /proc/%s/mem owned by %s, core-file limit (soft hard): %s\n' "$2" "$1" "$owner" "$limit"
    [[ $owner == root ]] || fail "$2 is dumpable"
    [[ $limit == "0 0" ]] || fail "$2 may write a core file"
}
wait_for() { # seconds, command...: until the command succeeds
    local until=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < until)) || return 1
        sleep 0.2
    done
}

# ------------------------------------------------------------------------------------- companion
note "the companion at its password prompt"
# Its terminal's input stays open, and silent, until the script ends.
mkfifo "$work/typing"
sleep 600 >"$work/typing" &
pids+=($!)
as_user bash -c 'ulimit -c unlimited; exec script -qfc "\"$0\" decrypt \"$1\"" /dev/null' \
    "$work/prefix/bin/vorlaxen-cli" "$home/files/diary.txt.cry" <"$work/typing" >"$work/companion.log" 2>&1 &
pids+=($!)
cli_pid() { pgrep -u "$user" -x vorlaxen-cli; }
wait_for 20 cli_pid >/dev/null || {
    cat "$work/companion.log" >&2
    die "the companion did not start"
}
protected "$(cli_pid)" "vorlaxen-cli"
kill "$(cli_pid)" 2>/dev/null

# ------------------------------------------------------------------------------------------ window
note "the window on display $display"
export DISPLAY=$display
xdotool getdisplaygeometry >/dev/null 2>&1 && die "display $display is in use (SCAN_DISPLAY)"
# A server that ended a moment ago on the same display may still hold it: the new one then ends at once.
for attempt in 1 2 3; do
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    if wait_for 20 xdotool getdisplaygeometry >/dev/null 2>&1 && sleep 0.5 && kill -0 "$xvfb" 2>/dev/null; then
        break
    fi
    ((attempt < 3)) || die "Xvfb did not start: $(cat "$work/xvfb.log")"
    sleep 2
done
pids+=("$xvfb")
if command -v openbox >/dev/null 2>&1; then
    openbox >/dev/null 2>&1 &
    pids+=($!)
fi
as_user bash -c 'ulimit -c unlimited; cd "$1"; exec "$0" notes.txt /open diary.txt.cry' \
    "$work/prefix/bin/vorlaxen" "$home/files" >"$work/window.log" 2>&1 &
pids+=($!)
dialog() { xdotool search --name "^$1\$" 2>/dev/null | head -n 1; }
answer() { # caption, password, boxes
    local id
    wait_for 60 dialog "$1" >/dev/null || {
        cat "$work/window.log" >&2
        note "windows on the display: $(xdotool search --name . getwindowname %@ 2>/dev/null | tr '\n' ',')"
        note "the display server said: $(tr '\n' ' ' <"$work/xvfb.log")"
        die "no \"$1\" came"
    }
    id=$(dialog "$1")
    xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus --sync "$id"
    sleep 1 # the dialog puts the focus into its first box once it is shown
    for ((box = 0; box < $3; ++box)); do
        xdotool type --delay 30 "$2"
        xdotool key Return
    done
}
answer "Encryption procedure" "$notes_password" 2
answer "Decryption procedure" "$diary_password" 1
window_pid=$(pgrep -u "$user" -x vorlaxen)
opened() { [[ -f $home/files/notes.txt.cry && ! -e $home/files/notes.txt && -f $home/files/diary.txt ]] &&
    pgrep -u "$user" -f 'sleep 3600' >/dev/null; }
wait_for 30 opened || fail "notes.txt was not encrypted, or diary.txt not opened in its application"
sleep 1 # the watch takes the file, the panes settle

protected "$window_pid" "vorlaxen (the window)"
# The application holds the plain file: it inherits the window's core-file limit and writes no core file
# of it either.
viewer_limit=$(awk '/^Max core file size/ { print $5 " " $6 }' "/proc/$(pgrep -u "$user" -f 'sleep 3600' | head -n 1)/limits")
printf '%-22s core-file limit (soft hard): %s\n' "its application" "$viewer_limit"
[[ $viewer_limit == "0 0" ]] || fail "the application that holds the plain file may write a core file"
note "scanning the window's memory ($(awk '/^VmRSS/ { print $2 " " $3 }' "/proc/$window_pid/status") resident)"
"$work/memory_scan" "$window_pid" "${needles[@]}" >"$work/scan.txt"
status=$?
"$work/memory_scan" "$window_pid" masked-password="$work/masked" >"$work/masked.txt"
cat "$work/scan.txt"
grep 'times$' "$work/masked.txt" | sed 's/$/ (for information: the watch keeps it masked)/'
case $status in
0) ;;
1) fail "the window's memory holds the password as typed or the plain data" ;;
*) fail "the window's memory could not be read" ;;
esac

# The application ends: the watch encrypts the file again; then the window closes.
pkill -u "$user" -f 'sleep 3600'
wait_for 30 test ! -e "$home/files/diary.txt" || fail "the file was not encrypted again"
kill -TERM "$window_pid" 2>/dev/null
wait_for 20 test ! -d "/proc/$window_pid" || fail "the window did not close"

if ((failures == 0)); then
    note "memory-scan.sh: nothing found"
    exit 0
fi
note "memory-scan.sh: $failures failures"
exit 1
