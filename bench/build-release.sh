#!/bin/sh
# Builds the benchmark programs in Release (no tests) into build/bench and prints that folder;
# only the targets named are built, so the window program only when asked for.
# Usage: bench/build-release.sh [TARGET...]
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRAWLMETER_BUILD_GUI=ON \
    -DBUILD_TESTING=OFF >/dev/null
for target in "$@"; do
    cmake --build "$build" -j2 --target "$target" >/dev/null
done
echo "$build"
