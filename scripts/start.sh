#!/usr/bin/env bash
# Installs, builds (Release) and starts the window program from build/release/program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DTRAWLMETER_BUILD_BENCH=OFF
cmake --build build/release -j"$(nproc)"
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display: start build/release/program/trawlmeter from a desktop session," \
         "or run build/release/program/trawlmeter-batch LOG without one." >&2
    exit 1
fi
exec build/release/program/trawlmeter
