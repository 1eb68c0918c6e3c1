#!/usr/bin/env bash
# The crawler report (trawlmeter-batch --report) of a database whose Baidu table holds N distinct
# client addresses (default 10,000), one visit each, every address verified: against a local
# dnsmasq holding their records (a quarter verified, a quarter with a host outside Baidu's
# domains, half without a name), first with no verdict kept and then again with the verdicts the
# first report kept; then with a server that never answers, with no DNS server reachable (a closed
# port), and with the system's resolvers. Each case RUNS times (default 3).
# Needs dnsmasq (Debian: dnsmasq-base) and sqlite3.
#   bench/bench_report_verify.sh [N] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
count="${1:-10000}"
runs="${2:-3}"
[[ -x /usr/sbin/dnsmasq ]] || { echo "needs /usr/sbin/dnsmasq (Debian: dnsmasq-base)" >&2; exit 1; }
command -v sqlite3 >/dev/null || { echo "needs sqlite3" >&2; exit 1; }
build=$(bench/build-release.sh make-visit-db trawlmeter-batch crawler-ranges)

work="$(mktemp -d /tmp/trawlmeter-bench-XXXXXX)"
dnsmasq_pid=
cleanup() {
    [[ -n "$dnsmasq_pid" ]] && kill "$dnsmasq_pid" 2>/dev/null && wait "$dnsmasq_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# The clients: 10.0.0.1, 10.0.0.2, ...
"$build/tools/make-visit-db" data/rezOve.sql "$work/pristine.mdb"
sqlite3 "$work/pristine.mdb" "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n
    WHERE i < $count) INSERT INTO baidu (sdate, stime, csuristem, cip, scstatus)
    SELECT '2024-05-01', '10:00:00', '/', '10.' || ((i >> 16) & 255) || '.' || ((i >> 8) & 255)
    || '.' || (i & 255), '200' FROM n"
source bench/fixture-dns.sh
start_fixture_dns

# Seconds of one report and what its JSON says of Baidu's visits.
report() {
    local start=$EPOCHREALTIME
    "$build/program/trawlmeter-batch" --folder "$work" --report "$work/report.json" "$@" \
        >/dev/null
    local end=$EPOCHREALTIME
    printf '%7.3f s  %s\n' "$(awk -v s="$start" -v e="$end" 'BEGIN { print e - s }')" \
        "$(tr -d ' \n' <"$work/report.json" | grep -o '"verification":{"verified[^}]*}' | head -1)"
}

for run in $(seq "$runs"); do
    cp "$work/pristine.mdb" "$work/rezOve.mdb"
    echo "local dnsmasq, no verdict kept:       $(report --dns-server "127.0.0.1:$port")"
    echo "local dnsmasq, the verdicts kept:     $(report --dns-server "127.0.0.1:$port")"
done
# Stopped, dnsmasq keeps its port and answers nothing: a server that is there but silent.
kill -STOP "$dnsmasq_pid"
for run in $(seq "$runs"); do
    cp "$work/pristine.mdb" "$work/rezOve.mdb"
    echo "silent server (first try 2 s, 2 tries): $(report --dns-server "127.0.0.1:$port")"
done
kill -CONT "$dnsmasq_pid"
kill "$dnsmasq_pid" && wait "$dnsmasq_pid" 2>/dev/null || true
dnsmasq_pid=
for run in $(seq "$runs"); do
    cp "$work/pristine.mdb" "$work/rezOve.mdb"
    echo "closed port (nothing listens):        $(report --dns-server "127.0.0.1:$port")"
    cp "$work/pristine.mdb" "$work/rezOve.mdb"
    echo "the system's resolvers ($(awk '/^nameserver/ { printf "%s ", $2 }' /etc/resolv.conf)): $(report)"
done
