#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the Linux suite on X servers of its own,
# the same suite built with Qt 6, the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, one short pass of the benchmarks, and the Windows suite.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
bash scripts/install-deps.sh

jobs=$(nproc)
total_passed=0
total_failed=0

# Configures and builds one tree, runs its tests and adds its figures to the totals.
run_suite() {
    local label=$1 dir=$2
    shift 2
    echo "== $label: build"
    configure_tree "$dir.configure.log" "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMIVANE_DEVELOPER_MODE=ON "$@" \
        || return 1
    cmake --build "$dir" -j "$jobs"
    echo "== $label: test"
    local log="$dir/ctest.log" status=0
    ctest --test-dir "$dir" -j "$jobs" --output-on-failure | tee "$log" || status=1
    count_tests "$log"
    return $status
}

# Adds the figures of CTest's summary line in a log to the totals.
count_tests() {
    local line passed failed
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$1" | tail -n 1)
    [[ -n $line ]] || return 0
    failed=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
    passed=$(( $(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line") - failed ))
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
}

status=0
mkdir -p build
start=$SECONDS
run_suite "Linux" build/tests -DLUMIVANE_BUILD_BENCH=ON || status=1
linux_seconds=$((SECONDS - start))

# The benchmarks built in the plain tree and run once, briefly: the figures fail nothing, only a
# driver that does not get through its scenarios does.
echo "== Benchmarks: smoke run"
start=$SECONDS
if bash bench/run.sh --build build/tests --smoke >build/bench-smoke.txt 2>build/bench-smoke.log; then
    total_passed=$((total_passed + 1))
    cat build/bench-smoke.txt
else
    total_failed=$((total_failed + 1))
    status=1
    cat build/bench-smoke.txt
    tail -n 60 build/bench-smoke.log
fi
bench_seconds=$((SECONDS - start))

# The same sources built with Qt 6, without the benchmarks: the Linux suite once more.
start=$SECONDS
run_suite "Linux, Qt 6" build/qt6 -DQT_MAJOR_VERSION=6 || status=1
qt6_seconds=$((SECONDS - start))

ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
LSAN_OPTIONS=suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LUMIVANE_TEST_SLOW=1 \
    run_suite "Linux, sanitized" build/asan -DLUMIVANE_SANITIZE=ON || status=1

echo "== Fuzzing the device-change broadcast reader (30 s)"
if bash scripts/fuzz.sh 30 >build/fuzz.log 2>&1; then
    total_passed=$((total_passed + 1))
    grep -E '^(Done|stat::number_of_executed_units)' build/fuzz.log || true
else
    total_failed=$((total_failed + 1))
    status=1
    tail -n 60 build/fuzz.log
fi

# The same sources cross-built for Windows, its deploy folder and installer, and the suite under Wine.
start=$SECONDS
bash scripts/test-windows.sh build/windows 2>&1 | tee build/windows.log || status=1
windows_seconds=$((SECONDS - start))
count_tests build/windows.log
echo "time: Linux suite ${linux_seconds} s, benchmark smoke run ${bench_seconds} s," \
    "Linux suite with Qt 6 ${qt6_seconds} s, Windows build and suite under Wine ${windows_seconds} s"

echo "tests: $total_passed passed, $total_failed failed"
exit $status
