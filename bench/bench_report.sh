#!/usr/bin/env bash
# The crawler report beside the analysis that filled its database: a generated log is analysed
# into a fresh copy of the delivered database, then the report of that database is written, in
# alternation; prints each pair, the median ratio report / analysis and the report's peak memory.
#   bench/bench_report.sh [MIB (default 256)] [PAIRS (default 7)] [html|json (default html)]
set -euo pipefail
cd "$(dirname "$0")/.."
mib="${1:-256}"
pairs="${2:-7}"
form="${3:-html}"
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (Debian: time)" >&2; exit 1; }
build=$(bench/build-release.sh bench-generate-log make-visit-db trawlmeter-batch)

work="$(mktemp -d /tmp/trawlmeter-bench-XXXXXX)"
trap 'rm -rf "$work"' EXIT
"$build/bench/bench-generate-log" "$work/access.log" "$mib" 10 >/dev/null
mkdir "$work/program"
"$build/tools/make-visit-db" data/rezOve.sql "$work/pristine.mdb"
cat "$work/access.log" >/dev/null
sync

# Seconds to the microsecond and peak KiB of one batch run.
timed() {
    local start=$EPOCHREALTIME
    /usr/bin/time -f "%M" -o "$work/time" "$build/program/trawlmeter-batch" \
        --folder "$work/program" "$@" >/dev/null
    local end=$EPOCHREALTIME
    echo "$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f", e - s }') $(cat "$work/time")"
}
ratios=()
for pair in $(seq "$pairs"); do
    cp "$work/pristine.mdb" "$work/program/rezOve.mdb"
    sync
    read -r analysis_s _ < <(timed "$work/access.log")
    read -r report_s report_kib < <(timed --report "$work/report.$form")
    ratio=$(awk -v r="$report_s" -v a="$analysis_s" 'BEGIN { printf "%.3f", r / a }')
    ratios+=("$ratio")
    printf 'pair %d: analysis %6.3f s   report %6.3f s %7d KiB peak   ratio %s\n' \
        "$pair" "$analysis_s" "$report_s" "$report_kib" "$ratio"
done
median=$(printf '%s\n' "${ratios[@]}" | sort -n | sed -n "$(((pairs + 1) / 2))p")
echo "median ratio report / analysis: $median"
