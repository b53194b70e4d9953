#!/usr/bin/env bash
# Runs one command on an X server of its own, with its own temporary and configuration folders,
# so that the instance marker, the X selection and the tray of one test never meet another's.
#   with-xvfb.sh [--screen WIDTHxHEIGHT] [--nested] command [arguments...]
# --nested: the command gets a resizeable Xephyr inside the Xvfb instead, whose resolution xrandr -s
# can change (Xvfb's cannot); LUMIVANE_RESIZABLE_X=1 tells the command so.
set -euo pipefail

screen=1920x1080
nested=
while [[ ${1:-} == --* ]]; do
    case $1 in
        --screen) screen=$2; shift 2 ;;
        --nested) nested=yes; shift ;;
        *) echo "with-xvfb.sh: unknown option $1" >&2; exit 2 ;;
    esac
done

source "$(dirname "$0")/../scripts/lib.sh"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/lumivane-test.XXXXXX")
xephyr_pid=
cleanup() {
    [[ -z $xephyr_pid ]] || { kill "$xephyr_pid" 2>/dev/null; wait "$xephyr_pid" 2>/dev/null || true; }
    stop_xvfb
    rm -rf "$scratch"
}
trap cleanup EXIT

start_xvfb "$screen" "$scratch/xvfb.log" || { echo "Xvfb did not start:" >&2; cat "$scratch/xvfb.log" >&2; exit 1; }

mkdir -p "$scratch/tmp" "$scratch/config" "$scratch/runtime"
chmod 700 "$scratch/runtime"
export DISPLAY=$xvfb_display
if [[ -n $nested ]]; then
    exec {fd}<> <(:)
    Xephyr -displayfd "$fd" -resizeable -screen "$screen" -nolisten tcp -noreset >"$scratch/xephyr.log" 2>&1 &
    xephyr_pid=$!
    read -r -t 30 number <&"$fd" || { echo "Xephyr did not start:" >&2; cat "$scratch/xephyr.log" >&2; exit 1; }
    exec {fd}>&-
    export DISPLAY=":$number" LUMIVANE_RESIZABLE_X=1
fi
export TMPDIR="$scratch/tmp"
export XDG_CONFIG_HOME="$scratch/config"
export XDG_RUNTIME_DIR="$scratch/runtime"
export QT_QPA_PLATFORM=xcb
# As the program itself does: nothing here draws with OpenGL.
export QT_XCB_GL_INTEGRATION=none
unset WAYLAND_DISPLAY
"$@"
