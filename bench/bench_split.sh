#!/bin/sh
# Builds the Release benchmark and times the chunk splitter against cp on a generated 1 GiB log.
# Usage: bench/bench_split.sh [folder for the files] [mebibytes]
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRAWLMETER_BUILD_GUI=OFF \
    -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target bench-split
"$build/bench/bench-split" "$@"
