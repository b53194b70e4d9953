#!/usr/bin/env bash
# Runs one command on an X server of its own, with its own temporary and configuration folders,
# so that the instance marker, the X selection and the tray of one test never meet another's.
#   with-xvfb.sh [--screen WIDTHxHEIGHT] command [arguments...]
set -euo pipefail

screen=1920x1080
if [[ ${1:-} == --screen ]]; then
    screen=$2
    shift 2
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/lumivane-test.XXXXXX")
xvfb_pid=
cleanup() {
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

exec {display_fd}<> <(:)
Xvfb -displayfd "$display_fd" -screen 0 "${screen}x24" -nolisten tcp -noreset >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
read -r -t 30 display_number <&"$display_fd" || { echo "Xvfb did not start:" >&2; cat "$scratch/xvfb.log" >&2; exit 1; }
exec {display_fd}>&-

mkdir -p "$scratch/tmp" "$scratch/config" "$scratch/runtime"
chmod 700 "$scratch/runtime"
export DISPLAY=":$display_number"
export TMPDIR="$scratch/tmp"
export XDG_CONFIG_HOME="$scratch/config"
export XDG_RUNTIME_DIR="$scratch/runtime"
export QT_QPA_PLATFORM=xcb
# As the program itself does: nothing here draws with OpenGL.
export QT_XCB_GL_INTEGRATION=none
unset WAYLAND_DISPLAY
"$@"
