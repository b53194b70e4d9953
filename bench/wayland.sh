#!/usr/bin/env bash
# The overlay as a layer surface on a headless sway of its own, side by side with the same build on
# an X server of its own: both started at once, each with a session bus of its own that carries its
# reports, the displays taken in turns. Prints one table on standard output.
#   bash bench/wayland.sh BUILD_DIR [--smoke] [--displays N] [--idle-seconds N]
# Run by bench/run.sh after the X11 benchmarks, with its build tree. sway refuses to run as root:
# under root both programs, the compositor and the buses run as nobody, from a copy of the program
# laid out as installed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

build=$1
shift
displays=5
idle_seconds=60
while [[ $# -gt 0 ]]; do
    case $1 in
        --smoke) displays=1 idle_seconds=1 ;;
        --displays) displays=$2; shift ;;
        --idle-seconds) idle_seconds=$2; shift ;;
        *) echo "usage: bash bench/wayland.sh BUILD_DIR [--smoke] [--displays N] [--idle-seconds N]" >&2; exit 2 ;;
    esac
    shift
done

# Reports of a mode change take the hold of 4 s, then the fade-out of 250 ms.
display_ms=4250

work=$(mktemp -d /tmp/lumivane-wayland-bench.XXXXXX)
declare -A pid bus_pid
sway_pid=
cleanup() {
    local p
    for p in "${pid[@]}" "${bus_pid[@]}" $sway_pid; do kill "$p" 2>/dev/null || true; done
    stop_xvfb
    rm -rf "$work"
}
trap cleanup EXIT

as_user=()
if [[ $(id -u) == 0 ]]; then
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    chmod 755 "$work"
fi

# The program and its Wayland module where an installed program finds the module.
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
mkdir -p "$work/bin" "$work/$libdir/lumivane/modules"
cp "$build/app/lumivane" "$work/bin/"
# The tree's own module, not a copy that a test installed below it.
cp "$(find "$build" -path "$build/tests" -prune -o -name lumivane-wayland.so -print -quit)" \
    "$work/$libdir/lumivane/modules/"

# A side: its home (instance marker, runtime folder) and its own session bus.
prepare() {
    local side=$1 home=$work/$1
    mkdir -p "$home/runtime"
    chmod 700 "$home/runtime"
    [[ ${#as_user[@]} == 0 ]] || chown -R nobody:nogroup "$home"
    read -r "bus_pid[$side]" < <(run_as "$side" dbus-daemon --session --fork \
        --address="unix:path=$home/runtime/bus" --print-pid=1 2>/dev/null)
}

# The command line that runs a command as the sides' user, with that side's environment alone, in
# the array "command"; every step execs the next, so that a process started with it has its pid.
declare -A display_variables
command_for() {
    local side=$1 home=$work/$1
    # shellcheck disable=SC2206 # the display's variables are words
    command=("${as_user[@]}" env -i PATH=/usr/bin:/bin HOME="$home" TMPDIR="$home" XDG_RUNTIME_DIR="$home/runtime"
        DBUS_SESSION_BUS_ADDRESS="unix:path=$home/runtime/bus" ${display_variables[$side]:-})
}
run_as() {
    local command
    command_for "$1"
    shift
    "${command[@]}" "$@"
}

prepare x11
prepare wayland

start_xvfb 1280x800 "$work/xvfb.log" || { echo "bench: Xvfb did not start" >&2; exit 1; }
display_variables[x11]="DISPLAY=$xvfb_display"

cat >"$work/wayland/config" <<EOF
xwayland disable
output HEADLESS-1 resolution 1280x800
EOF
command_for wayland
"${command[@]}" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    sway -c "$work/wayland/config" >"$work/sway.log" 2>&1 &
sway_pid=$!
socket=
for ((i = 0; i < 200; i++)); do
    for path in "$work/wayland/runtime"/wayland-?; do
        [[ -S $path ]] && socket=${path##*/}
    done
    [[ -n $socket ]] && break
    sleep 0.1
done
[[ -n $socket ]] || { echo "bench: sway did not start:" >&2; cat "$work/sway.log" >&2; exit 1; }
display_variables[wayland]="WAYLAND_DISPLAY=$socket XDG_SESSION_TYPE=wayland"

# CPU time of every thread, in nanoseconds; context switches of every thread.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d\n", s }'; }
switches() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/ctxt_switches/ { s += $2 } END { print s + 0 }'; }
# Voluntary ones alone: the thread waited for something, a wake-up of its own. The involuntary ones
# follow the machine's load.
waits() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches/ { s += $2 } END { print s + 0 }'; }
rss_kib() { awk '/^VmRSS/ { print $2 }' /proc/"$1"/status; }
# System time in clock ticks and minor page faults, of the whole process.
system_ticks() { sed 's/.*) //' /proc/"$1"/stat | awk '{ print $13 }'; }
faults() { sed 's/.*) //' /proc/"$1"/stat | awk '{ print $8 }'; }

# Waits until the process has used no CPU for 250 ms (at most 30 s).
settle() {
    local last now i
    last=$(cpu_ns "$1")
    for ((i = 0; i < 120; i++)); do
        sleep 0.25
        now=$(cpu_ns "$1")
        [[ $now == "$last" ]] && return
        last=$now
    done
}

on_bus() { run_as "$1" busctl --user status org.lumivane.Overlay >/dev/null 2>&1; }
report() { run_as "$1" busctl --user call org.lumivane.Overlay /org/lumivane/Overlay org.lumivane.Overlay1 Report u "$2" >/dev/null; }

declare -A startup_cpu rss_start rss_hidden libraries mesa wakeups
declare -a display_cpu_x11 display_cpu_wayland
declare -A display_system display_faults display_switches display_waits

start() {
    local side=$1
    shift
    local command
    command_for "$side"
    "${command[@]}" "$@" "$work/bin/lumivane" 2>"$work/$side.log" &
    pid[$side]=$!
    local i
    for ((i = 0; i < 300; i++)); do
        on_bus "$side" && break
        sleep 0.1
    done
    on_bus "$side" || { echo "bench: the overlay on $side did not start:" >&2; cat "$work/$side.log" >&2; exit 1; }
}

start x11
start wayland
for side in x11 wayland; do
    settle "${pid[$side]}"
    startup_cpu[$side]=$(cpu_ns "${pid[$side]}")
done
sleep 0.3
for side in x11 wayland; do rss_start[$side]=$(rss_kib "${pid[$side]}"); done

# Mode changes from hidden, in turns; the first report is mode 1, as the overlay starts on 0.
for ((n = 1; n <= displays; n++)); do
    code=$(printf '0x%02x000000' $((n % 4)))
    for side in x11 wayland; do
        before=$(cpu_ns "${pid[$side]}")
        system_before=$(system_ticks "${pid[$side]}")
        faults_before=$(faults "${pid[$side]}")
        switches_before=$(switches "${pid[$side]}")
        waits_before=$(waits "${pid[$side]}")
        report "$side" "$code"
        sleep "$(awk -v ms=$display_ms 'BEGIN { print ms / 1000 + 0.3 }')"
        settle "${pid[$side]}"
        after=$(cpu_ns "${pid[$side]}")
        eval "display_cpu_$side+=($(((after - before) / 1000)))"
        display_system[$side]=$((${display_system[$side]:-0} + $(system_ticks "${pid[$side]}") - system_before))
        display_faults[$side]=$((${display_faults[$side]:-0} + $(faults "${pid[$side]}") - faults_before))
        display_switches[$side]=$((${display_switches[$side]:-0} + $(switches "${pid[$side]}") - switches_before))
        display_waits[$side]=$((${display_waits[$side]:-0} + $(waits "${pid[$side]}") - waits_before))
        [[ -n ${rss_hidden[$side]:-} ]] || rss_hidden[$side]=$(rss_kib "${pid[$side]}")
    done
done

sleep 1
for side in x11 wayland; do wakeups[$side]=$(switches "${pid[$side]}"); done
sleep "$idle_seconds"
for side in x11 wayland; do
    wakeups[$side]=$(($(switches "${pid[$side]}") - wakeups[$side]))
    maps=/proc/${pid[$side]}/maps
    libraries[$side]=$(awk '$6 ~ /\.so/ { print $6 }' "$maps" | sort -u | wc -l)
    mesa[$side]=$(awk '$6 ~ /libEGL|_dri\.so|libLLVM|libgbm|wayland-egl/ { n = split($6, p, "/"); print p[n] }' "$maps" |
        sort -u | paste -sd, -)
    kill "${pid[$side]}"
    wait "${pid[$side]}" 2>/dev/null || true
done

# Report to the first frame committed: a start of its own, with libwayland's log of every request,
# which costs CPU. The log's stamps (milliseconds) run on a clock of libwayland's own, read against
# the driver's by a client that logs one request just before the report (late by its own start, a
# few milliseconds).
start wayland WAYLAND_DEBUG=client
settle "${pid[wayland]}"
mark=$(wc -l <"$work/wayland.log")
reference_us=$(date +%s%6N)
reference=$(run_as wayland WAYLAND_DEBUG=client wayland-info 2>&1 | sed -n 's/^\[ *\([0-9.]*\)\].*/\1/p' | head -1)
sent_us=$(date +%s%6N)
report wayland 0x01000000
sleep 1
first_frame=$(tail -n +"$((mark + 1))" "$work/wayland.log" |
    awk -v reference="$reference" -v reference_us="$reference_us" -v sent_us="$sent_us" '
    /-> wl_surface@[0-9]+\.commit\(\)/ && reference != "" {
        stamp = $0
        sub(/^\[ */, "", stamp)
        sub(/\].*/, "", stamp)
        late = stamp - reference - (sent_us - reference_us) / 1000
        if (late >= 0) { printf "%.1f\n", late; exit }
    }')
kill "${pid[wayland]}"
wait "${pid[wayland]}" 2>/dev/null || true

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
row() { # figure, x11, wayland, budget as a ratio (or "-"), unit
    awk -v figure="$1" -v x="$2" -v w="$3" -v budget="$4" -v unit="$5" 'BEGIN {
        ratio = (x > 0) ? w / x : 0
        verdict = (budget == "-") ? "" : ((x > 0 && ratio <= budget) ? "ok" : "MISS")
        printf "| %s | %s %s | %s %s | %s | %s | %s |\n", figure, x, unit, w, unit, (x > 0) ? sprintf("%.2f", ratio) : "-",
            (budget == "-") ? "-" : "<= " budget " x", verdict
    }'
}

echo
echo "Layer surface on sway (headless, pixman) beside X11 (Xvfb), same build, same run; $displays display(s) each, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "| figure | X11 | layer surface | ratio | budget | |"
echo "|---|---:|---:|---:|---|---|"
row "RSS idle after start" "${rss_start[x11]}" "${rss_start[wayland]}" 1.05 KiB
row "RSS idle once a display has hidden" "${rss_hidden[x11]}" "${rss_hidden[wayland]}" 1.05 KiB
row "start-up CPU time" "$((startup_cpu[x11] / 1000000))" "$((startup_cpu[wayland] / 1000000))" - ms
row "CPU per mode-change display, median of $displays" \
    "$(median "${display_cpu_x11[@]}" | awk '{ printf "%.1f", $1 / 1000 }')" \
    "$(median "${display_cpu_wayland[@]}" | awk '{ printf "%.1f", $1 / 1000 }')" 1.35 ms
per_display() { awk -v total="$1" -v n="$displays" -v scale="$2" 'BEGIN { printf "%.1f", total * scale / n }'; }
tick_ms=$((1000 / $(getconf CLK_TCK)))
echo "| per display: system time (clock ticks) | $(per_display "${display_system[x11]}" "$tick_ms") ms | $(per_display "${display_system[wayland]}" "$tick_ms") ms | - | - | |"
echo "| per display: minor page faults | $(per_display "${display_faults[x11]}" 1) | $(per_display "${display_faults[wayland]}" 1) | - | - | |"
echo "| per display: context switches | $(per_display "${display_switches[x11]}" 1) | $(per_display "${display_switches[wayland]}" 1) | - | - | |"
echo "| per display: of them voluntary (wake-ups) | $(per_display "${display_waits[x11]}" 1) | $(per_display "${display_waits[wayland]}" 1) | - | - | |"
echo "| report to first frame committed | - | ${first_frame:-n/a} ms | - | - | |"
echo "| idle hidden ${idle_seconds} s: wake-ups | ${wakeups[x11]} | ${wakeups[wayland]} | - | 0 | $([[ ${wakeups[x11]} == 0 && ${wakeups[wayland]} == 0 ]] && echo ok || echo MISS) |"
echo "| shared objects mapped | ${libraries[x11]} | ${libraries[wayland]} | - | - | |"
echo "| Mesa, EGL or Qt's wayland-egl mapped | ${mesa[x11]:-none} | ${mesa[wayland]:-none} | - | none | $([[ -z ${mesa[x11]} && -z ${mesa[wayland]} ]] && echo ok || echo MISS) |"
