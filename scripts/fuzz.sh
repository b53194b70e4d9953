#!/usr/bin/env bash
# Builds the libFuzzer target for the device-change broadcast reader with clang and runs it for a
# bounded time on the committed seed corpus (tests/fuzz/corpus/devicebroadcast), which it only
# reads; what it finds worth keeping goes to build/fuzz/corpus.
#   fuzz.sh [SECONDS]    (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
seconds=${1:-30}

mkdir -p build/fuzz/corpus
CXX=clang++ configure_tree build/fuzz.configure.log build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/fuzz --target fuzz_devicebroadcast
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    build/fuzz/tests/fuzz/fuzz_devicebroadcast -max_total_time="$seconds" -print_final_stats=1 \
    build/fuzz/corpus tests/fuzz/corpus/devicebroadcast
