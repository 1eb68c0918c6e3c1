#!/bin/sh
# Builds the scanner benchmark in Release and runs it: bench_scan.sh [MiB] [crawler percent]
set -e
build=$("$(dirname "$0")/build-release.sh" bench-scan)
"$build/bench/bench-scan" "$@"
