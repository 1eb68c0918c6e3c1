#!/bin/sh
# Builds the Release benchmark and times the chunk splitter against cp on a generated 1 GiB log.
# Usage: bench/bench_split.sh [folder for the files] [mebibytes]
set -e
build=$("$(dirname "$0")/build-release.sh" bench-split)
"$build/bench/bench-split" "$@"
