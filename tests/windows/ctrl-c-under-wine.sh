#!/usr/bin/env bash
# Ctrl+C at the console during a run of trawlmeter-batch.exe: the run stops keeping every record of
# what it read, removes its work folder and exits with 130. Wine turns a SIGINT to a console
# program into the console's Ctrl+C event, the one a test inside Wine cannot send; so this test
# runs on the build machine and sends that signal to the program under Wine.
# Usage: ctrl-c-under-wine.sh WINE_RUN PROGRAM_DIR SAMPLES_DIR
set -euo pipefail
sample=lnav-w3c-big.log
source "$(dirname "$0")/under-wine.sh"

# A log of 200 MB, long enough to be stopped in its middle: one sample's lines over and over.
lines="$(python3 - "$samples/lnav-w3c-big.log" "$work/big.log" <<'PY'
import sys
lines = open(sys.argv[1], 'rb').read().splitlines(keepends=True)
head = b''.join(l for l in lines if l.startswith(b'#'))
body = b''.join(l for l in lines if not l.startswith(b'#'))
with open(sys.argv[2], 'wb') as log:
    log.write(head)
    copies = 200_000_000 // len(body)
    log.write(body * copies)
print(copies * body.count(b'\n'))
PY
)"

"$wine_run" "$work/program/trawlmeter-batch.exe" --folder "$(windows_path "$work/program")" \
    "$(windows_path "$work/big.log")" >"$work/out.txt" 2>"$work/err.txt" &
batch=$!
# Stop it once the first chunk is scanned and its records committed: its file is deleted then.
first_chunk="$work/program/temp/rezOve.000"
for _ in $(seq 600); do
    [[ -e "$first_chunk" || -e "$work/program/temp/rezOve.001" ]] && break
    sleep 0.02
done
for _ in $(seq 600); do
    [[ -d "$work/program/temp" && ! -e "$first_chunk" ]] && break
    sleep 0.02
done
kill -INT "$batch"
status=0
wait "$batch" || status=$?

[[ "$status" == 130 ]] || fail "exit status $status, not 130"
grep -q 'stopped by SIGINT' "$work/err.txt" || fail "no word of the stop"
[[ ! -e "$work/program/temp" ]] || fail "the work folder is left behind"
# Every line the counters counted is a record, and no other.
python3 - "$work/program/rezOve.mdb" "$work/out.txt" "$lines" <<'PY' || fail "records and counters differ"
import re, sqlite3, sys
out = open(sys.argv[2]).read()
counted = {name.lower(): int(n) for name, n in re.findall(r'^([\w ]+): (\d+)$', out, re.M)}
db = sqlite3.connect(sys.argv[1])
stored = {t: db.execute(f'select count(*) from {t}').fetchone()[0]
          for t in ('baidu', 'google', 'yahoo', 'sogou', 'msn', 'othercrawlers')}
print('counted', counted, 'stored', stored)
engines = sum(stored[t] for t in ('baidu', 'google', 'yahoo', 'sogou', 'msn'))
assert engines > 0, 'nothing stored'
assert all(stored[t] == counted[t] for t in ('baidu', 'google', 'yahoo', 'sogou', 'msn'))
assert stored['othercrawlers'] == counted['other crawlers']
assert counted['all'] < int(sys.argv[3]), 'the run was not stopped'
PY
echo "stopped by Ctrl+C with $(grep '^All' "$work/out.txt") counted, every crawler line stored"
