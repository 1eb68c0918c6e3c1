#!/usr/bin/env bash
# A work folder `temp` that is a link is refused on Windows by its reparse-point attribute, never
# followed. Wine makes no junction and no Windows symbolic link, but shows a symbolic link of the
# build machine's as a reparse point; so this test makes one here and runs the batch under Wine.
# Usage: linked-work-folder-under-wine.sh WINE_RUN PROGRAM_DIR SAMPLES_DIR
set -euo pipefail
sample=waikolai-u_ex101228.log
source "$(dirname "$0")/under-wine.sh"
mkdir "$work/elsewhere"
echo kept >"$work/elsewhere/keep.txt"
ln -s "$work/elsewhere" "$work/program/temp"
cp "$samples/waikolai-u_ex101228.log" "$work/access.log"

status=0
"$wine_run" "$work/program/trawlmeter-batch.exe" --folder "$(windows_path "$work/program")" \
    "$(windows_path "$work/access.log")" >"$work/out.txt" 2>"$work/err.txt" || status=$?

[[ "$status" == 3 ]] || fail "exit status $status, not 3"
grep -q 'temp（是一个符号链接）' "$work/err.txt" || fail "the message does not name the link"
[[ -L "$work/program/temp" && "$(cat "$work/elsewhere/keep.txt")" == kept ]] ||
    fail "the link or what it points to was touched"
[[ "$(ls "$work/elsewhere")" == keep.txt ]] || fail "the run wrote through the link"
records="$(python3 -c 'import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
print(sum(db.execute(f"select count(*) from {t}").fetchone()[0]
          for t in ("baidu", "google", "yahoo", "sogou", "msn")))' "$work/program/rezOve.mdb")"
[[ "$records" == 0 ]] || fail "$records records stored"
echo "a linked work folder is refused and left as it was"
