#!/bin/sh
# Builds the crawler matcher's benchmark in Release and runs it on both mixes of crawlers: its
# start-up, memory and lines per second. Usage: bench_crawler_match.sh [lines] [crawler percent]
set -e
build=$("$(dirname "$0")/build-release.sh" bench-crawler-match)
"$build/bench/bench-crawler-match" common "$@"
"$build/bench/bench-crawler-match" every "$@"
