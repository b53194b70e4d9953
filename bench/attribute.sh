#!/usr/bin/env bash
# Where a program's start-up goes: its instructions to idle under callgrind, and its resident
# memory by mapping once idle, each on an X server of its own with an XEmbed tray (trayer) and a
# private session bus, as the benchmark's programs run. Instruction counts do not move with the
# load of the machine, as times do.
#   bash bench/attribute.sh [--icon-data DIR] [--floor] PROGRAM OUTPUT-PREFIX
# --icon-data DIR starts it with DIR first in XDG_DATA_DIRS (the package's icons installed);
# --floor runs it as the benchmark runs the floor (QT_XCB_GL_INTEGRATION=none).
# Writes OUTPUT-PREFIX.callgrind (callgrind_annotate reads it) and OUTPUT-PREFIX.smaps.txt, and
# prints the total of instructions and the resident KiB.
set -euo pipefail
extra=()
while [[ ${1:-} == --* ]]; do
    case $1 in
    --icon-data) extra+=("XDG_DATA_DIRS=$2:/usr/local/share:/usr/share"); shift 2 ;;
    --floor) extra+=(QT_XCB_GL_INTEGRATION=none); shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done
program=$1
out=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/lumivane-attribute.XXXXXX")
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

exec {displayfd}<> <(:)
Xvfb -displayfd "$displayfd" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
read -r -t 30 -u "$displayfd" number
export DISPLAY=:$number
{ read -r address; read -r bus; } < <(dbus-daemon --session --fork --print-address=1 --print-pid=1)
pids+=("$bus")
export DBUS_SESSION_BUS_ADDRESS=$address DBUS_SYSTEM_BUS_ADDRESS=$address
mkdir -m 700 "$work/runtime" "$work/config" "$work/tmp"
# Its own TMPDIR: the single-instance marker of a program running elsewhere is not this one's.
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config TMPDIR=$work/tmp
unset QT_QPA_PLATFORM QT_XCB_GL_INTEGRATION WAYLAND_DISPLAY
trayer --edge top >/dev/null 2>&1 &
pids+=($!)
sleep 1

cpu() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# Until the process has used no CPU for two seconds.
settle() {
    local last=-1 quiet=0 now
    while ((quiet < 4)); do
        sleep 0.5
        now=$(cpu "$1")
        if [[ $now == "$last" ]]; then quiet=$((quiet + 1)); else quiet=0; fi
        last=$now
    done
}

env "${extra[@]}" valgrind --tool=callgrind --callgrind-out-file="$out.callgrind" "$program" \
    >/dev/null 2>"$work/valgrind.log" &
pid=$!
pids+=("$pid")
settle "$pid"
callgrind_control -d "$pid" >/dev/null 2>&1
sleep 1
kill "$pid"
wait "$pid" 2>/dev/null || true
# The dump taken at idle is the first one; the one written at exit holds the shutdown too.
mv "$out.callgrind.1" "$out.callgrind" 2>/dev/null || true
echo "instructions to idle: $(callgrind_annotate "$out.callgrind" 2>/dev/null | awk '/PROGRAM TOTALS/ { print $1 }')"

env "${extra[@]}" "$program" >/dev/null 2>&1 &
pid=$!
pids+=("$pid")
settle "$pid"
awk '/^[0-9a-f]+-[0-9a-f]+ / { name = NF >= 6 ? $6 : "[anonymous]" } /^Rss:/ { rss[name] += $2 }
    END { for (n in rss) if (rss[n] > 0) printf "%8d KiB  %s\n", rss[n], n }' "/proc/$pid/smaps" |
    sort -rn >"$out.smaps.txt"
echo "RSS idle: $(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status") KiB"
