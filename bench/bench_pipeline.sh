#!/usr/bin/env bash
# A whole trawlmeter-batch run (cut, scan, store, delete) side by side with the hand-made pipeline
# of ../shared/bench (grep | mawk | sqlite3 .import) on the same warm generated log: three pairs,
# alternating after one run of each that is not counted, then the median ratio and the peak
# memory of each. A further batch run, not timed, samples the work folder temp/ every 20 ms for
# its peak size and measures the longest time between two yields.
#   bench/bench_pipeline.sh [MIB (default 1024)] [CRAWLER_PERCENT (default 10)] [OTHER_PERCENT]
#       OTHER_PERCENT (default 0): lines of the other crawlers of the list, from its own examples
#   bench/bench_pipeline.sh --gzip [MIB (default 1024)]   the log gzip'd: batch LOG.gz against
#                                                         zcat LOG.gz | pipeline.sh /dev/stdin
#   bench/bench_pipeline.sh --window [MIB (default 1024)] the window program against the batch:
#       the run started by clicking "开始分析" with xdotool in an X server without a screen
#       (Xvfb), timed from the click until the run has removed temp/
set -euo pipefail
cd "$(dirname "$0")/.."
mode=pipeline
case "${1:-}" in
--gzip) mode=gzip && shift ;;
--window) mode=window && shift ;;
esac
mib="${1:-1024}"
percent="${2:-10}"
other_percent="${3:-0}"
pipeline="$(cd .. && pwd)/shared/bench/pipeline.sh"
[[ -f "$pipeline" ]] || { echo "no pipeline at $pipeline" >&2; exit 1; }
needs=(mawk sqlite3 /usr/bin/time)
[[ $mode == window ]] && needs+=(xdotool xvfb-run)
for tool in "${needs[@]}"; do
    command -v "$tool" >/dev/null ||
        { echo "needs $tool (Debian: mawk sqlite3 time xdotool xvfb)" >&2; exit 1; }
done
if [[ $mode == window && -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96 -noreset" "$0" --window "$@"
fi
targets=(bench-generate-log make-visit-db trawlmeter-batch)
[[ $mode == window ]] && targets+=(trawlmeter)
build=$(bench/build-release.sh "${targets[@]}")

work="$(mktemp -d /tmp/trawlmeter-bench-XXXXXX)"
window_pid=
cleanup() {
    [[ -n "$window_pid" ]] && kill "$window_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
"$build/bench/bench-generate-log" "$work/access.log" "$mib" "$percent" "$other_percent" >/dev/null
log="$work/access.log"
if [[ $mode == gzip ]]; then
    gzip -6 "$log"
    log="$work/access.log.gz"
fi
mkdir "$work/program"
"$build/tools/make-visit-db" data/rezOve.sql "$work/pristine.mdb"
cat "$log" >/dev/null # the page cache holds the log for every contender alike
sync                  # and no contender pays for writing back what came before it

fresh_database() {
    rm -f "$1"/rezOve.mdb-wal "$1"/rezOve.mdb-shm "$1"/rezOve.mdb-journal
    cp "$work/pristine.mdb" "$1/rezOve.mdb"
    sync
}
# Seconds and peak KiB of a whole batch run, into $work/time.
batch() {
    fresh_database "$work/program"
    /usr/bin/time -f "%e %M" -o "$work/time" \
        "$build/program/trawlmeter-batch" --folder "$work/program" "$log" >"$work/batch.out"
}
peer() {
    rm -rf "$work/peer"
    sync
    if [[ $mode == gzip ]]; then
        /usr/bin/time -f "%e %M" -o "$work/time" \
            sh -c "zcat '$log' | sh '$pipeline' /dev/stdin '$work/peer'" >/dev/null
    else
        /usr/bin/time -f "%e %M" -o "$work/time" sh "$pipeline" "$log" "$work/peer" >/dev/null
    fi
}

# The window program in a folder of its own, as the operator starts it beside its database; the
# log's path typed into the box, then a click on "开始分析". Twips of the layout: 15 per pixel at
# 96 dots per inch.
mkdir "$work/window"
window_folder="$work/window"
until_true() { # SECONDS COMMAND...: polls every 5 ms
    local limit=$1 start=$EPOCHREALTIME
    shift
    until "$@"; do
        if awk -v s="$start" -v n="$EPOCHREALTIME" -v l="$limit" 'BEGIN { exit !(n - s > l) }'; then
            return 1
        fi
        sleep 0.005
    done
}
window() {
    fresh_database "$window_folder"
    cp "$build/program/trawlmeter" "$window_folder/"
    "$window_folder/trawlmeter" 2>"$work/window.err" &
    window_pid=$!
    local id
    id=$(xdotool search --sync --onlyvisible --pid "$window_pid" | awk 'NR == 1')
    xdotool mousemove --window "$id" 248 28 click 1
    xdotool type --delay 0 "$log"
    local start=$EPOCHREALTIME
    xdotool mousemove --window "$id" 360 120 click 1
    until_true 60 test -d "$window_folder/temp" ||
        { echo "the window did not start its run" >&2; exit 1; }
    until_true 3600 test ! -d "$window_folder/temp"
    local end=$EPOCHREALTIME
    kill "$window_pid"
    wait "$window_pid" 2>/dev/null || true
    window_pid=
    sqlite3 "$window_folder/rezOve.mdb" "SELECT (SELECT count(*) FROM baidu) +
        (SELECT count(*) FROM google) + (SELECT count(*) FROM yahoo) +
        (SELECT count(*) FROM sogou) + (SELECT count(*) FROM msn)" >"$work/window.records"
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f 0\n", e - s }' >"$work/time"
}

# Peak bytes and files of temp/ in FOLDER while process PID lives, sampled every 20 ms.
sample_temp() {
    local folder=$1 pid=$2 peak_bytes=0 peak_files=0 bytes files
    while kill -0 "$pid" 2>/dev/null; do
        read -r bytes files < <(find "$folder/temp" -maxdepth 1 -type f -printf '%s\n' 2>/dev/null |
            awk '{ s += $1; n++ } END { printf "%.0f %d\n", s, n }')
        ((bytes > peak_bytes)) && peak_bytes=$bytes
        ((files > peak_files)) && peak_files=$files
        sleep 0.02
    done
    echo "$peak_bytes $peak_files"
}

case $mode in
gzip) printf "log: %s bytes gzip'd (%s MiB plain), about %s %% crawler lines\n" \
    "$(stat -c %s "$log")" "$mib" "$percent" ;;
*) printf 'log: %s bytes, about %s %% crawler lines, %s %% other crawlers\n' \
    "$(stat -c %s "$log")" "$percent" "$other_percent" ;;
esac
if [[ $mode == window ]]; then
    first=window first_name=window second=batch second_name=batch target=1.2
else
    first=batch first_name=batch second=peer second_name=pipeline target=0.6
fi
# One run of each first, not counted: a virtual machine's memory is slow the first time it is
# touched, and the batch touches a log's worth of page cache for its chunks.
$first
$second
ratios=()
peak_kib=0
for pair in 1 2 3; do
    $first
    read -r first_s first_kib <"$work/time"
    $second
    read -r second_s second_kib <"$work/time"
    batch_kib=$([[ $mode == window ]] && echo "$second_kib" || echo "$first_kib")
    ((batch_kib > peak_kib)) && peak_kib=$batch_kib
    ratio=$(awk -v a="$first_s" -v b="$second_s" 'BEGIN { printf "%.3f", a / b }')
    ratios+=("$ratio")
    printf 'pair %d: %s %6.2f s %8d KiB peak   %s %6.2f s %8d KiB peak   ratio %s\n' "$pair" \
        "$first_name" "$first_s" "$first_kib" "$second_name" "$second_s" "$second_kib" "$ratio"
done
median=$(printf '%s\n' "${ratios[@]}" | sort -n | sed -n 2p)
echo "median ratio $first_name / $second_name: $median (target at most $target)"
awk -v k="$peak_kib" 'BEGIN { printf "peak memory of the batch: %.1f MiB (target at most 32 MiB)\n", k / 1024 }'
echo "batch counters:"
sed 's/^/  /' "$work/batch.out"
if [[ $mode == window ]]; then
    batch_records=$(awk -F': ' '$1 != "All" && $1 != "Other crawlers" { s += $2 } END { print s }' "$work/batch.out")
    [[ "$(cat "$work/window.records")" == "$batch_records" ]] ||
        echo "the window stored $(cat "$work/window.records") records, the batch $batch_records"
fi
fresh_database "$work/program"
"$build/program/trawlmeter-batch" --folder "$work/program" --yield-gaps "$log" \
    2>"$work/gaps" >/dev/null &
sampled=$!
read -r temp_bytes temp_files < <(sample_temp "$work/program" "$sampled")
wait "$sampled"
grep 'longest yield gap' "$work/gaps"
awk -v b="$temp_bytes" -v f="$temp_files" 'BEGIN {
    printf "peak size of temp/ during the batch: %.1f MiB in %d chunk files (target at most 64 MiB)\n",
        b / 1048576, f }'
