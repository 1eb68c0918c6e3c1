#!/usr/bin/env bash
# Verification of N distinct crawler addresses (default 10,000) by DNS: against a local dnsmasq
# holding their records (a quarter verified, a quarter with a host outside the engine's
# domains, half without a name), against a closed port, and against a port that never answers.
# Each case RUNS times (default 3). Needs dnsmasq (Debian: dnsmasq-base).
#   bench/bench_verify.sh [N] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
count="${1:-10000}"
runs="${2:-3}"
[[ -x /usr/sbin/dnsmasq ]] || { echo "needs /usr/sbin/dnsmasq (Debian: dnsmasq-base)" >&2; exit 1; }
build=$(bench/build-release.sh bench-verify)

work="$(mktemp -d /tmp/trawlmeter-bench-XXXXXX)"
dnsmasq_pid=
cleanup() {
    [[ -n "$dnsmasq_pid" ]] && kill "$dnsmasq_pid" 2>/dev/null && wait "$dnsmasq_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# The addresses asked about: 10.0.0.1, 10.0.0.2, ...
source bench/fixture-dns.sh
start_fixture_dns

echo "local dnsmasq:"
for run in $(seq "$runs"); do "$build/bench/bench-verify" "127.0.0.1:$port" "$count"; done
kill "$dnsmasq_pid" && wait "$dnsmasq_pid" 2>/dev/null || true
dnsmasq_pid=
echo "closed port (nothing listens):"
for run in $(seq "$runs"); do "$build/bench/bench-verify" "127.0.0.1:$port" "$count"; done
echo "silent port (nothing answers; first try 2 s, 2 tries):"
for run in $(seq "$runs"); do "$build/bench/bench-verify" silent "$count"; done
