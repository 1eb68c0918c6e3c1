#pragma once

#include "platform/DnsResolver.h"
#include "support/TestFolder.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace trawlmeter::testing {

// The records a test server holds.
struct DnsRecords {
    // An address (or a reverse name) and the host its PTR record gives; one address may have
    // several.
    std::vector<std::pair<std::string, std::string>> ptr;
    // A host and its addresses, comma-separated; dnsmasq also answers their PTR with the host.
    std::vector<std::pair<std::string, std::string>> hosts;
    // Names under these are answered NXDOMAIN when unknown; any other unknown name is refused.
    std::vector<std::string> localDomains{"in-addr.arpa", "ip6.arpa"};
    // A hosts file (lines of "ADDRESS HOST"), for records by the thousand.
    std::string hostsFile;
};

// dnsmasq (Debian's dnsmasq-base) serving only `records`, on 127.0.0.1 and, where the machine
// has it, ::1, at a free port: in the foreground as the current user, with no pid, lease or
// system files, stopped when the object goes. Throws when it cannot be started.
class DnsmasqServer {
public:
    explicit DnsmasqServer(const DnsRecords& records);
    DnsmasqServer(const DnsmasqServer&) = delete;
    DnsmasqServer& operator=(const DnsmasqServer&) = delete;
    ~DnsmasqServer();

    std::uint16_t port() const { return m_port; }
    bool listensOnIpv6() const { return m_ipv6; }
    dns::ServerAddress server() const;

private:
    bool start(const DnsRecords& records);

    TestFolder m_folder;
    int m_pid = -1;
    std::uint16_t m_port = 0;
    bool m_ipv6 = false;
};

// A UDP port on 127.0.0.1 bound by a socket that never reads: questions sent there are never
// answered, and no "port unreachable" comes back either.
class SilentDnsPort {
public:
    SilentDnsPort();
    SilentDnsPort(const SilentDnsPort&) = delete;
    SilentDnsPort& operator=(const SilentDnsPort&) = delete;
    ~SilentDnsPort();
    dns::ServerAddress server() const;

private:
    int m_socket = -1;
    std::uint16_t m_port = 0;
};

// A port on 127.0.0.1 where nothing listened a moment ago.
dns::ServerAddress closedDnsPort();

// Options for asking `server` with short tries, for tests that wait for time-outs.
dns::ResolverOptions resolverOptions(const dns::ServerAddress& server,
                                     std::chrono::milliseconds firstTry = std::chrono::seconds(2),
                                     int tries = 2);

} // namespace trawlmeter::testing
