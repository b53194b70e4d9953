#!/usr/bin/env bash
# Builds the overlay, the floor program and the benchmarks in build/bench (a release build of its
# own), then measures both programs on X servers of their own and prints one table.
#   bash bench/run.sh [--build DIR] [lumivane-bench options, e.g. --runs 7 --idle-seconds 60]
# --build DIR measures in a tree already configured with -DLUMIVANE_BUILD_BENCH=ON instead; the
# test command runs one short pass that way: bash bench/run.sh --build build/tests --smoke
# Then bench/wayland.sh measures the overlay as a layer surface on a headless sway beside the same
# build on X11. Measuring takes about ten minutes on two cores, two of them idle windows; --smoke
# about 75 s. The figures are reported; the exit status says only whether it ran.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
bash scripts/install-deps.sh

build=build/bench
given=
if [[ ${1:-} == --build ]]; then
    build=$2
    given=yes
    shift 2
fi
echo "bench: building in $build" >&2
[[ -n $given ]] || configure_tree "$build.configure.log" "$build" -DCMAKE_BUILD_TYPE=Release \
    -DLUMIVANE_BUILD_BENCH=ON -DBUILD_TESTING=OFF
cmake --build "$build" -j "$(nproc)" --target lumivane lumivane-wayland lumivane-floor lumivane-bench bench_paint >&2

work=$(mktemp -d "${TMPDIR:-/tmp}/lumivane-bench.XXXXXX")
bus_pid=
cleanup() {
    [[ -n $bus_pid ]] && kill "$bus_pid" 2>/dev/null
    # The stand-in below would otherwise be taken for the companion by whatever runs the overlay
    # of this tree next, the tests of a shared tree included.
    rm -f "$build/app/gattlink"
    rm -rf "$work"
}
trap cleanup EXIT

# The overlay starts its companion from its own folder, as it would beside the real one. The
# stand-in does nothing: it waits on the input the overlay gives it, and reports nothing.
ln -sf "$(command -v cat)" "$build/app/gattlink"

# A session bus of the run's own, which also stands in for the system bus: the programs find the
# services a desktop offers without touching the machine's.
mkdir -m 700 "$work/runtime"
{ read -r bus_address; read -r bus_pid; } < <(dbus-daemon --session --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS=$bus_address
export DBUS_SYSTEM_BUS_ADDRESS=$bus_address
export XDG_RUNTIME_DIR=$work/runtime
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM QT_XCB_GL_INTEGRATION

# The package's icons where an installed package puts them, for the starts that have them.
mkdir -p "$work/data"
cp -r resources/icons "$work/data/icons"

echo "bench: paint benchmarks" >&2
# Each figure is the median of five measurements, so that a moment of load on the machine does
# not make it.
QT_QPA_PLATFORM=offscreen TMPDIR="$work" "$build/bench/bench_paint" -csv -median 5 >"$work/paint.csv" 2>"$work/paint.log" \
    || { cat "$work/paint.log" >&2; exit 1; }

commit=$(git rev-parse --short HEAD)
git diff --quiet HEAD -- . 2>/dev/null || commit="$commit (with uncommitted changes)"
echo "Lumivane benchmarks, commit $commit, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bench/driver/lumivane-bench" --overlay "$build/app/lumivane" --floor "$build/bench/floor/lumivane-floor" \
    --work "$work" --paint "$work/paint.csv" --icon-data "$work/data" "$@"

# The layer surface beside X11, with the driver's smoke pass and idle window.
wayland_options=()
for ((i = 1; i <= $#; i++)); do
    case ${!i} in
        --smoke) wayland_options+=(--smoke) ;;
        --idle-seconds) j=$((i + 1)); wayland_options+=(--idle-seconds "${!j}") ;;
    esac
done
echo "bench: the layer surface on sway beside X11" >&2
bash bench/wayland.sh "$build" "${wayland_options[@]}"
