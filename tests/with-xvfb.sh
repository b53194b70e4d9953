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

source "$(dirname "$0")/../scripts/lib.sh"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/lumivane-test.XXXXXX")
cleanup() {
    stop_xvfb
    rm -rf "$scratch"
}
trap cleanup EXIT

start_xvfb "$screen" "$scratch/xvfb.log" || { echo "Xvfb did not start:" >&2; cat "$scratch/xvfb.log" >&2; exit 1; }

mkdir -p "$scratch/tmp" "$scratch/config" "$scratch/runtime"
chmod 700 "$scratch/runtime"
export DISPLAY=$xvfb_display
export TMPDIR="$scratch/tmp"
export XDG_CONFIG_HOME="$scratch/config"
export XDG_RUNTIME_DIR="$scratch/runtime"
export QT_QPA_PLATFORM=xcb
# As the program itself does: nothing here draws with OpenGL.
export QT_XCB_GL_INTEGRATION=none
unset WAYLAND_DISPLAY
"$@"
