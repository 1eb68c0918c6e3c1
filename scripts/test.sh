#!/usr/bin/env bash
# Installs, builds and runs the whole test suite: the normal build, then the same tests built
# with AddressSanitizer and UndefinedBehaviorSanitizer, then the programs whose tests run the
# visit writer's thread, the cut ahead of the scan and the report's workers built with
# ThreadSanitizer. Every build fails on a warning. Window tests run in a real X server (Xvfb).
# Last, the Windows build: the programs and every test, cross-built with MinGW-w64 (the Windows
# libraries once into build/windows-deps/) and run under Wine, the installer and the portable zip
# among them, the window's tests in Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
jobs="$(nproc)"
xvfb=(xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96 -noreset")
strict=(-G Ninja -DTRAWLMETER_BUILD_BENCH=OFF -DTRAWLMETER_WARNINGS_AS_ERRORS=ON)

cmake -S . -B build/test "${strict[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/test -j"$jobs"
"${xvfb[@]}" ctest --test-dir build/test --output-on-failure -j"$jobs"

cmake -S . -B build/sanitize "${strict[@]}" -DCMAKE_BUILD_TYPE=Debug -DTRAWLMETER_SANITIZE=ON
cmake --build build/sanitize -j"$jobs"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"${xvfb[@]}" ctest --test-dir build/sanitize --output-on-failure -j"$jobs"

# No window here: the threads are those of the core and the report, and the batch program the
# end-to-end tests run is built the same way. Unoptimised, it builds in less time than its tests
# take longer, and its reports read best.
cmake -S . -B build/tsan "${strict[@]}" -DCMAKE_BUILD_TYPE=Debug \
    -DTRAWLMETER_SANITIZE_THREADS=ON -DTRAWLMETER_BUILD_GUI=OFF
cmake --build build/tsan -j"$jobs" --target trawlmeter_tests trawlmeter_report_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir build/tsan --output-on-failure -j"$jobs"

scripts/build-windows.sh --tests
ctest --test-dir build/windows --output-on-failure -j"$jobs" -LE window
# Each Windows test program is one CTest test, whose output shows only when it fails: the tests
# that Wine cannot run (it makes no junction, sends no console control event) say so here.
grep -h -A1 ': Skipped$' build/windows/Testing/Temporary/LastTest.log || true
# The window program's tests, in Xvfb. Wine draws windows through the display its session
# started with, so the session of the tests before (which had none) must have ended first.
WINEPREFIX="$(scripts/windows/wine-prefix.sh)" wineserver -w
"${xvfb[@]}" ctest --test-dir build/windows --output-on-failure -L window
