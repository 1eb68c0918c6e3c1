#!/usr/bin/env bash
# The whole analysis of a generated log by trawlmeter-batch, timed side by side with cp and
# grep over the same file: wall time and peak memory of each.
# Usage: bench/bench_run.sh [MIB (default 1024)] [CRAWLER_PERCENT (default 10)]
set -euo pipefail
cd "$(dirname "$0")/.."
mib="${1:-1024}"
percent="${2:-10}"
build=$(bench/build-release.sh bench-generate-log make-visit-db trawlmeter-batch)

work="$(mktemp -d /tmp/trawlmeter-bench-XXXXXX)"
trap 'rm -rf "$work"' EXIT
"$build/bench/bench-generate-log" "$work/access.log" "$mib" "$percent"
mkdir "$work/program"
"$build/tools/make-visit-db" data/rezOve.sql "$work/program/rezOve.mdb"
cat "$work/access.log" >/dev/null # warm the page cache for every contender alike

measure() { # label, command...
    local label="$1"
    shift
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >"$work/out" 2>/dev/null || true
    read -r seconds kib <"$work/time"
    printf '%-8s %8.2f s %10d KiB peak\n' "$label" "$seconds" "$kib"
    echo "$seconds" >"$work/$label.s"
}

size=$(stat -c %s "$work/access.log")
echo "log: $size bytes, about $percent % crawler lines"
measure cp cp "$work/access.log" "$work/copy.log"
rm -f "$work/copy.log"
measure grep grep -c -i -E 'baiduspider|googlebot|yahoo|sogou|msn' "$work/access.log"
measure batch "$build/program/trawlmeter-batch" --folder "$work/program" "$work/access.log"
cat "$work/out"
awk -v b="$(cat "$work/batch.s")" -v c="$(cat "$work/cp.s")" -v g="$(cat "$work/grep.s")" \
    'BEGIN { printf "batch / cp = %.2f, batch / grep = %.2f\n", b / c, b / g }'
