#!/bin/sh
# Builds the scanner benchmark in Release and runs it: bench_scan.sh [MiB] [crawler percent]
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRAWLMETER_BUILD_GUI=OFF \
    -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target bench-scan
"$build/bench/bench-scan" "$@"
