# Sourced by the DNS benchmarks: a dnsmasq on 127.0.0.1 that answers for the addresses
# 10.0.0.1 ... 10.x.y.z (COUNT of them): one in four is a Baiduspider whose reverse and forward
# look-ups agree, one in four has a host outside Baidu's domains, the rest have no host name.
# Sets `port` and `dnsmasq_pid`; the caller's cleanup kills it. Needs `work` and `count`.
start_fixture_dns() {
    awk -v n="$count" 'BEGIN {
        for (i = 1; i <= n; i++) {
            a = "10." int(i / 65536) % 256 "." int(i / 256) % 256 "." i % 256
            d = a; gsub(/\./, "-", d)
            if (i % 4 == 1) print a, "baiduspider-" d ".crawl.baidu.com"
            else if (i % 4 == 2) print a, "host-" d ".example.net"
        }
    }' >"$work/hosts"
    # A free port is found by trying: dnsmasq ends at once when its port is taken.
    for attempt in 1 2 3 4 5; do
        port=$((20000 + RANDOM % 30000))
        /usr/sbin/dnsmasq --keep-in-foreground --conf-file=/dev/null --no-resolv --no-hosts \
            --pid-file= --bind-interfaces --listen-address=127.0.0.1 --port="$port" \
            --user="$(id -un)" --group="$(id -gn)" --log-facility="$work/dnsmasq.log" \
            --local=/in-addr.arpa/ --local=/baidu.com/ --local=/example.net/ \
            --addn-hosts="$work/hosts" &
        dnsmasq_pid=$!
        sleep 0.5
        kill -0 "$dnsmasq_pid" 2>/dev/null && return 0
        dnsmasq_pid=
    done
    echo "dnsmasq did not start" >&2
    exit 1
}
