#!/usr/bin/env bash
# Builds the Windows programs, deploy folder and installer (scripts/build-windows.sh) and runs the
# test suite under Wine: on an X server of its own, in a fresh Wine prefix inside the build tree.
# A machine where Wine cannot start fails the run.
#   test-windows.sh [build directory]         (default: build/windows)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
dir=${1:-build/windows}

status=0
bash scripts/build-windows.sh "$dir" || status=$?
if [[ $status -eq 3 ]]; then
    exit 0
elif [[ $status -ne 0 ]]; then
    exit "$status"
fi

export WINEPREFIX=$PWD/$dir/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

cleanup() {
    wineserver -k 2>/dev/null || true
    stop_xvfb
}
trap cleanup EXIT

fail() {
    echo "################################################################################" >&2
    echo "# test-windows: FAILED: $*" >&2
    echo "################################################################################" >&2
    exit 1
}

start_xvfb 1920x1080 "$dir/xvfb.log" || fail "Xvfb did not start: $(cat "$dir/xvfb.log")"
export DISPLAY=$xvfb_display

echo "== Windows: Wine prefix $WINEPREFIX"
command -v wine >/dev/null || fail "wine is not installed"
rm -rf "$WINEPREFIX"
start=$(date +%s)
timeout 300 wineboot -i >"$dir/wineboot.log" 2>&1 || fail "Wine cannot start: $(tail -n 5 "$dir/wineboot.log")"
wineserver -w
[[ -d $WINEPREFIX/drive_c/windows/system32 ]] || fail "Wine made no prefix in $WINEPREFIX"
# No window manager runs here, so Wine's windows are not handed to one: a managed window that hides
# waits two seconds for a manager's answer, as the tray's own window does at every icon's removal.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$dir/wineboot.log" 2>&1 \
    || fail "Wine's settings cannot be written: $(tail -n 5 "$dir/wineboot.log")"
wineserver -w
# One Wine server and desktop for the whole run, started before the first test: a Windows process
# that exits while Wine's desktop is still starting up in a fresh prefix can hang in its exit.
wineserver -p
timeout 120 wine cmd /c exit >>"$dir/wineboot.log" 2>&1 || fail "Wine cannot run a program: $(tail -n 5 "$dir/wineboot.log")"
echo "== Windows: Wine ready in $(( $(date +%s) - start )) s"

echo "== Windows: test"
# A test that fails or hangs runs once more, and its first failure stays in the log. Wine can hang
# in a process's exit after every check has passed, and under load tst_companion_win once found
# its companion not running after a fresh window's start (seen once in a full run, never alone):
# a flaw to find, not to hide, which is why the log keeps it.
ctest --test-dir "$dir" -j "$(nproc)" --output-on-failure --repeat until-pass:2
