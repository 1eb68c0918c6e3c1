#!/usr/bin/env bash
# The Windows window program under Wine in a real X server (the test command runs it in Xvfb):
# it is started in a fresh program folder, clicked with xdotool as an operator would click, and
# looked at through window_probe.exe, which asks Windows what the window shows.
#
#   window_test.sh SCENARIO PROGRAM_DIR PROBE SAMPLES_DIR SCREENSHOT_DIR
#
# SCENARIO: opens (caption, fixed size, layout, a screenshot), run (a sample log analysed from
# a click: the counters climb, every crawler line is stored), missing-database (the start-up
# message), dialog-cancel (the file dialog's cancel keeps the path), session-end (logging off
# during a run stops it as a stop signal does).
set -euo pipefail
scenario="$1"
program_dir="$2"
probe_exe="$3"
samples="$4"
screenshots="$5"
root="$(cd "$(dirname "$0")/../.." && pwd)"
wine_run="$root/scripts/windows/wine-run.sh"

fail() {
    echo "FAILED: $*" >&2
    exit 1
}
[[ -n "${DISPLAY:-}" ]] || fail "no X display: run the window tests under xvfb-run"
for tool in xdotool import sqlite3; do
    command -v "$tool" >/dev/null || fail "needs $tool (Debian: xdotool imagemagick sqlite3)"
done

folder="$(mktemp -d "${TMPDIR:-/tmp}/trawlmeter-window.XXXXXX")"
program_pid=""
cleanup() {
    if [[ -n "$program_pid" ]] && kill -0 "$program_pid" 2>/dev/null; then
        "$wine_run" "$probe_exe" close >/dev/null 2>&1 || true
        sleep 2
        kill "$program_pid" 2>/dev/null || true
    fi
    rm -rf "$folder"
}
trap cleanup EXIT

probe() {
    "$wine_run" "$probe_exe" "$@" | tr -d '\r'
}
# The value of KEY in the probe's output $2.
value() {
    awk -F '\t' -v key="$1" '$1 == key { print substr($0, length(key) + 2); exit }' <<<"$2"
}
expect() {
    local what="$1" got="$2" wanted="$3"
    [[ "$got" == "$wanted" ]] || fail "$what: got '$got', wanted '$wanted'"
    echo "ok: $what = $got"
}
windows_path() {
    printf 'Z:%s' "${1//\//\\}"
}

start_program() {
    cp "$program_dir/trawlmeter.exe" "$folder/"
    "$wine_run" "$folder/trawlmeter.exe" >"$folder.out" 2>&1 &
    program_pid=$!
}
# Closes the window as its close button does and waits for the program to end: exit 0.
close_and_expect_exit() {
    local status=0
    probe close >/dev/null
    wait "$program_pid" || status=$?
    program_pid=""
    expect "exit status" "$status" 0
}
click() {
    local place
    place="$(probe centre "$1")"
    xdotool mousemove "$(value x "$place")" "$(value y "$place")" click 1
}
# A sample log of a real IIS written over and over (its header block repeats anyway), so that a
# run lasts long enough for the counters to be seen climbing: $log, $copies of the sample (4000
# unless $1 times as many).
write_sample_log() {
    cp "$program_dir/rezOve.mdb" "$folder/"
    copies=4000
    local sample="$samples/waikolai-u_ex101228.log"
    if [[ ! -f "$sample" ]]; then
        echo "SKIPPED: no sample log $sample (the samples lie beside the project)" >&2
        exit 77
    fi
    log="$folder/u_ex101228.log"
    for ((i = 0; i < copies; ++i)); do cat "$sample"; done >"$log"
    if (("${1:-1}" > 1)); then
        for ((i = 0; i < $1; ++i)); do cat "$log"; done >"$log.more"
        mv "$log.more" "$log"
        copies=$((copies * $1))
    fi
}
x_window() {
    xdotool search --sync --onlyvisible --name '^Trawlmeter V1\.0 --20080715$' | head -n 1
}

case "$scenario" in
opens)
    cp "$program_dir/rezOve.mdb" "$folder/"
    start_program
    shown="$(probe show)"
    echo "$shown"
    expect caption "$(value caption "$shown")" "Trawlmeter V1.0 --20080715"
    dpi="$(value dpi "$shown")"
    # The inner size of the layout table, 6285 x 4395 twips, at the window's resolution.
    expect "client size" "$(value client "$shown")" \
        "$(((6285 * dpi + 720) / 1440))x$(((4395 * dpi + 720) / 1440))"
    expect resizable "$(value resizable "$shown")" 0
    expect maximisable "$(value maximisable "$shown")" 0
    expect Label1 "$(value Label1 "$shown")" "日志文件："
    expect Frame1 "$(value Frame1 "$shown")" "日志记录数统计"
    expect Label2 "$(value Label2 "$shown")" "准备中"
    expect TxtLineCnt "$(value TxtLineCnt "$shown")" 0
    expect CmdAnalysis.enabled "$(value CmdAnalysis.enabled "$shown")" 1
    placed="$(probe layout)"
    grep $'^misplaced\t' <<<"$placed" && fail "controls are not where the layout puts them"
    echo "ok: $(value checked "$placed") controls where the layout puts them"

    xid="$(x_window)"
    # What the X server shows once the window has painted.
    sleep 0.5
    mkdir -p "$screenshots"
    import -window "$xid" "$screenshots/main-window.png"
    echo "ok: screenshot $screenshots/main-window.png"

    # A bare X server has no window manager to keep the size: the window keeps it itself (Wine
    # leaves the X window as xdotool sized it, so the screenshot comes first).
    xdotool windowsize "$xid" 700 560
    sleep 1
    expect "client size after a resize" "$(value client "$(probe show)")" "$(value client "$shown")"

    close_and_expect_exit
    ;;
run)
    write_sample_log
    start_program
    probe show >/dev/null
    probe set-text TxtrezOveFile "$(windows_path "$log")"
    probe watch >"$folder/watch.txt" &
    watcher=$!
    sleep 1
    click CmdAnalysis
    wait "$watcher" || fail "the probe could not watch the run"
    watched="$(tr -d '\r' <"$folder/watch.txt")"
    echo "$watched"
    shown_values="$(value lines-shown "$watched")"
    ((shown_values > 3)) || fail "the counters did not climb on screen ($shown_values values)"
    echo "ok: TxtLineCnt showed $shown_values values"
    grep -qx $'status-shown\t正在分析第 2 个临时日志文件' <<<"$watched" ||
        fail "the progress of the second chunk was never shown"
    expect Label3 "$(value Label3 "$watched")" "分析完成"
    expect Label2 "$(value Label2 "$watched")" "临时日志文件已删除"
    expect TxtLineCnt "$(value TxtLineCnt "$watched")" "$((58 * copies))"
    expect TxtBaiduCnt "$(value TxtBaiduCnt "$watched")" "$((11 * copies))"
    expect TxtGoogleCnt "$(value TxtGoogleCnt "$watched")" "$((2 * copies))"
    expect TxtYahooCnt "$(value TxtYahooCnt "$watched")" 0
    expect TxtSogouCnt "$(value TxtSogouCnt "$watched")" 0
    expect TxtMsnCnt "$(value TxtMsnCnt "$watched")" 0
    expect CmdAnalysis.enabled "$(value CmdAnalysis.enabled "$watched")" 1
    [[ ! -e "$folder/temp" ]] || fail "the work folder was left behind"
    mkdir -p "$screenshots"
    import -window "$(x_window)" "$screenshots/analysis-finished.png"
    close_and_expect_exit

    database="$folder/rezOve.mdb"
    expect "baidu records" "$(sqlite3 "$database" 'SELECT count(*) FROM baidu')" "$((11 * copies))"
    expect "google records" "$(sqlite3 "$database" 'SELECT count(*) FROM google')" "$((2 * copies))"
    for table in yahoo sogou msn; do
        expect "$table records" "$(sqlite3 "$database" "SELECT count(*) FROM $table")" 0
    done
    expect "first Baidu record" "$(sqlite3 -separator '|' "$database" \
        'SELECT sdate, stime, sitename, sip, csmethod, csuristem, csuriquery, sport, csusername,
                cip, UserAgent, scstatus, scsubstatus, scwin32status FROM baidu ORDER BY rowid LIMIT 1')" \
        "2010-12-28|16:20:04|W3SVC20|67.222.136.138|GET|/|-|80|-|123.125.71.97|Baiduspider+(+http://www.baidu.com/search/spider.htm)|200|0|0"
    ;;
missing-database)
    start_program
    answered="$(probe dialog ok)"
    echo "$answered"
    expect title "$(value title "$answered")" "请重新运行程序"
    expect text "$(value text "$answered")" \
        "没有找到rezOve.mdb数据库文件，请确认数据库文件和程序是否在同一目录下"
    expect answered "$(value answered "$answered")" 1
    shown="$(probe show)"
    expect CmdAnalysis.enabled "$(value CmdAnalysis.enabled "$shown")" 0
    close_and_expect_exit
    ;;
dialog-cancel)
    cp "$program_dir/rezOve.mdb" "$folder/"
    start_program
    probe show >/dev/null
    kept='C:\logs\u_ex080715.log'
    probe set-text TxtrezOveFile "$kept"
    click CmdSelectrezOve
    answered="$(probe dialog cancel)"
    echo "$answered"
    filters="$(awk -F '\t' '$1 == "filter" { print $2 }' <<<"$answered" | paste -sd '|')"
    expect filters "$filters" "IIS Log Files (*.log)|All Files (*.*)"
    expect "selected filter" "$(value filter-selected "$answered")" 0
    expect answered "$(value answered "$answered")" 1
    expect "path after a cancel" "$(value TxtrezOveFile "$(probe text TxtrezOveFile)")" "$kept"
    close_and_expect_exit
    ;;
session-end)
    # A run of some seconds, so that the session's end comes in its middle.
    write_sample_log 8
    start_program
    probe show >/dev/null
    probe set-text TxtrezOveFile "$(windows_path "$log")"
    click CmdAnalysis
    probe wait-text Label3 "正在分析第"
    # The session waits while the run stops; the program then ends as after SIGTERM.
    expect "the session may end at once" "$(value may-end "$(probe end-session)")" 0
    status=0
    wait "$program_pid" || status=$?
    program_pid=""
    expect "exit status" "$status" 143
    [[ ! -e "$folder/temp" ]] || fail "the work folder was left behind"
    stored="$(sqlite3 "$folder/rezOve.mdb" 'SELECT count(*) FROM baidu')"
    ((stored > 0 && stored < 11 * copies)) ||
        fail "the stopped run stored $stored Baidu records of $((11 * copies))"
    echo "ok: the stopped run kept the $stored Baidu records it had committed"
    ;;
*)
    fail "unknown scenario $scenario"
    ;;
esac
