#!/usr/bin/env bash
# Installs what is missing, builds the program and runs it with its display shown.
# With a display, the overlay appears there and the program keeps running in the tray (quit it
# from the tray menu or with Ctrl-C). Without one, it runs on a private X server, writes
# screenshots of the overlay, prints where they are and exits.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
bash scripts/install-deps.sh

build=build/run
configure_tree "$build.configure.log" "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF
cmake --build "$build" -j "$(nproc)"
program=$PWD/$build/app/lumivane
# Without the accessory nothing would ever report: the simulator stands in as the companion that
# the program starts from its own folder (only in this build tree, never in an installed one).
ln -sf "$PWD/$build/tools/gattlink-sim/gattlink-sim" "$build/app/gattlink"

if [[ -n ${DISPLAY:-} ]] && xdpyinfo >/dev/null 2>&1; then
    exec "$program" -s
fi

shots=$PWD/$build/screenshots
rm -rf "$shots"
mkdir -p "$shots"
echo "No display: running the overlay and the companion simulator on a private X server (1920x1080)."
tests/with-xvfb.sh bash -c '
    set -u
    "$1" -s 2>"$2/lumivane.log" &
    pid=$!
    snap() { sleep "$1"; import -window root -crop 176x176+872+452 +repage "$2"; }
    snap 0.5 "$2/00-shown-at-start.png"
    # The simulator reports 1.5 s after start, then every 2 s: catch each display.
    for i in 1 2 3 4 5 6 7; do snap 2.0 "$2/0$i-report-$i.png"; done
    kill -TERM "$pid"
    wait "$pid"
' run "$program" "$shots"
echo "Screenshots of the overlay (176 x 176, cut from the screen):"
ls -1 "$shots"/*.png
