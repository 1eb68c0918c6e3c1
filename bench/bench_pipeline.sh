#!/usr/bin/env bash
# A whole trawlmeter-batch run (cut, scan, store, delete) side by side with the hand-made pipeline
# of ../shared/bench (grep | mawk | sqlite3 .import) on the same warm generated log: three pairs,
# alternating after one run of each that is not counted, then the median ratio, the peak memory
# of each, and the longest time between two yields of the batch in a further run.
#   bench/bench_pipeline.sh [MIB (default 1024)] [CRAWLER_PERCENT (default 10)]
#   bench/bench_pipeline.sh --gzip [MIB (default 256)]   the log gzip'd: batch LOG.gz against
#                                                        zcat LOG.gz | pipeline.sh /dev/stdin
set -euo pipefail
cd "$(dirname "$0")/.."
gzip_mode=false
if [[ "${1:-}" == "--gzip" ]]; then
    gzip_mode=true
    shift
fi
mib="${1:-$($gzip_mode && echo 256 || echo 1024)}"
percent="${2:-10}"
pipeline="$(cd .. && pwd)/shared/bench/pipeline.sh"
[[ -f "$pipeline" ]] || { echo "no pipeline at $pipeline" >&2; exit 1; }
for tool in mawk sqlite3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "needs $tool (Debian: mawk sqlite3 time)" >&2; exit 1; }
done
build=$(bench/build-release.sh bench-generate-log make-visit-db trawlmeter-batch)

work="$(mktemp -d /tmp/trawlmeter-bench-XXXXXX)"
trap 'rm -rf "$work"' EXIT
"$build/bench/bench-generate-log" "$work/access.log" "$mib" "$percent" >/dev/null
log="$work/access.log"
if $gzip_mode; then
    gzip -6 "$log"
    log="$work/access.log.gz"
fi
mkdir "$work/program"
"$build/tools/make-visit-db" data/rezOve.sql "$work/pristine.mdb"
cat "$log" >/dev/null # the page cache holds the log for every contender alike
sync                  # and no contender pays for writing back what came before it

batch() {
    cp "$work/pristine.mdb" "$work/program/rezOve.mdb"
    sync
    /usr/bin/time -f "%e %M" -o "$work/time" \
        "$build/program/trawlmeter-batch" --folder "$work/program" "$log" >"$work/batch.out"
}
peer() {
    rm -rf "$work/peer"
    sync
    if $gzip_mode; then
        /usr/bin/time -f "%e %M" -o "$work/time" \
            sh -c "zcat '$log' | sh '$pipeline' /dev/stdin '$work/peer'" >/dev/null
    else
        /usr/bin/time -f "%e %M" -o "$work/time" sh "$pipeline" "$log" "$work/peer" >/dev/null
    fi
}

printf 'log: %s bytes%s, about %s %% crawler lines\n' "$(stat -c %s "$log")" \
    "$($gzip_mode && echo " gzip'd ($mib MiB plain)")" "$percent"
# One run of each first, not counted: a virtual machine's memory is slow the first time it is
# touched, and the batch touches a log's worth of page cache for its chunks.
batch
peer
ratios=()
for pair in 1 2 3; do
    batch
    read -r batch_s batch_kib <"$work/time"
    peer
    read -r peer_s peer_kib <"$work/time"
    ratio=$(awk -v b="$batch_s" -v p="$peer_s" 'BEGIN { printf "%.3f", b / p }')
    ratios+=("$ratio")
    printf 'pair %d: batch %6.2f s %8d KiB peak   pipeline %6.2f s %8d KiB peak   ratio %s\n' \
        "$pair" "$batch_s" "$batch_kib" "$peer_s" "$peer_kib" "$ratio"
done
median=$(printf '%s\n' "${ratios[@]}" | sort -n | sed -n 2p)
echo "median ratio batch / pipeline: $median"
echo "batch counters:"
sed 's/^/  /' "$work/batch.out"
cp "$work/pristine.mdb" "$work/program/rezOve.mdb"
"$build/program/trawlmeter-batch" --folder "$work/program" --yield-gaps "$log" 2>&1 >/dev/null |
    grep 'longest yield gap'
