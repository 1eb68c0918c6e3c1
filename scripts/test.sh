#!/usr/bin/env bash
# Installs, builds and runs the whole test suite: the normal build, then the same tests built
# with AddressSanitizer and UndefinedBehaviorSanitizer. Window tests run in a real X server (Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
jobs="$(nproc)"
xvfb=(xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96 -noreset")

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRAWLMETER_BUILD_BENCH=OFF
cmake --build build/test -j"$jobs"
"${xvfb[@]}" ctest --test-dir build/test --output-on-failure -j"$jobs"

cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTRAWLMETER_SANITIZE=ON \
    -DTRAWLMETER_BUILD_BENCH=OFF
cmake --build build/sanitize -j"$jobs"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"${xvfb[@]}" ctest --test-dir build/sanitize --output-on-failure -j"$jobs"
