#include "support/DnsmasqServer.h"

#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace trawlmeter::testing {
namespace {

constexpr const char* kDnsmasq = "/usr/sbin/dnsmasq";

// A socket bound to a free port of the loopback address of `family`; -1 when there is none.
int boundSocket(int family, int type, std::uint16_t& port) {
    const int fd = ::socket(family, type | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_storage storage{};
    socklen_t length = 0;
    if (family == AF_INET) {
        auto& address = reinterpret_cast<sockaddr_in&>(storage);
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        length = sizeof address;
    } else {
        auto& address = reinterpret_cast<sockaddr_in6&>(storage);
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_loopback;
        address.sin6_port = htons(port);
        length = sizeof address;
    }
    if (::bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(family == AF_INET ? reinterpret_cast<sockaddr_in&>(storage).sin_port
                                   : reinterpret_cast<sockaddr_in6&>(storage).sin6_port);
    return fd;
}

std::uint16_t freeUdpPort() {
    std::uint16_t port = 0;
    const int fd = boundSocket(AF_INET, SOCK_DGRAM, port);
    if (fd < 0) {
        throw std::runtime_error("no free UDP port on 127.0.0.1");
    }
    ::close(fd);
    return port;
}

bool acceptsTcp(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool connected =
        fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return connected;
}

dns::ServerAddress loopback(std::uint16_t port) {
    return {*IpAddress::parse("127.0.0.1"), port};
}

} // namespace

DnsmasqServer::DnsmasqServer(const DnsRecords& records) {
    std::uint16_t probe = 0;
    if (const int fd = boundSocket(AF_INET6, SOCK_DGRAM, probe); fd >= 0) {
        ::close(fd);
        m_ipv6 = true;
    }
    // Another test may take the port between the probe and dnsmasq's bind: try a few.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (start(records)) {
            return;
        }
    }
    throw std::runtime_error("dnsmasq did not start; see " + (m_folder / "dnsmasq.log").string());
}

bool DnsmasqServer::start(const DnsRecords& records) {
    m_port = freeUdpPort();
    std::vector<std::string> arguments{
        kDnsmasq,
        "--keep-in-foreground",
        "--conf-file=/dev/null",
        "--no-resolv",
        "--no-hosts",
        "--pid-file=",
        "--bind-interfaces",
        "--listen-address=127.0.0.1",
        "--port=" + std::to_string(m_port),
        "--log-facility=" + (m_folder / "dnsmasq.log").string(),
    };
    if (m_ipv6) {
        arguments.push_back("--listen-address=::1");
    }
    if (const passwd* user = ::getpwuid(::geteuid())) {
        arguments.push_back(std::string("--user=") + user->pw_name);
    }
    if (const group* group = ::getgrgid(::getegid())) {
        arguments.push_back(std::string("--group=") + group->gr_name);
    }
    for (const auto& domain : records.localDomains) {
        arguments.push_back("--local=/" + domain + "/");
    }
    for (const auto& [address, host] : records.ptr) {
        const auto parsed = IpAddress::parse(address);
        arguments.push_back("--ptr-record=" + (parsed ? parsed->reverseName() : address) + "," +
                            host);
    }
    for (const auto& [host, addresses] : records.hosts) {
        arguments.push_back("--host-record=" + host + "," + addresses);
    }
    if (!records.hostsFile.empty()) {
        m_folder.writeFile("hosts", records.hostsFile);
        arguments.push_back("--addn-hosts=" + (m_folder / "hosts").string());
    }
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("cannot fork for dnsmasq");
    }
    if (pid == 0) {
        ::execv(kDnsmasq, argv.data());
        ::_exit(127);
    }
    m_pid = pid;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            // It gave up, as on a port taken meanwhile.
            m_pid = -1;
            return false;
        }
        // Its UDP and TCP sockets are made together: a TCP connection means both are there.
        if (acceptsTcp(m_port)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    throw std::runtime_error("dnsmasq did not listen within 10 s");
}

DnsmasqServer::~DnsmasqServer() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
}

dns::ServerAddress DnsmasqServer::server() const {
    return loopback(m_port);
}

SilentDnsPort::SilentDnsPort() {
    m_socket = boundSocket(AF_INET, SOCK_DGRAM, m_port);
    if (m_socket < 0) {
        throw std::runtime_error("no free UDP port on 127.0.0.1");
    }
}

SilentDnsPort::~SilentDnsPort() {
    ::close(m_socket);
}

dns::ServerAddress SilentDnsPort::server() const {
    return loopback(m_port);
}

dns::ServerAddress closedDnsPort() {
    return loopback(freeUdpPort());
}

dns::ResolverOptions resolverOptions(const dns::ServerAddress& server,
                                     std::chrono::milliseconds firstTry, int tries) {
    dns::ResolverOptions options;
    options.server = server;
    options.firstTryTimeout = firstTry;
    options.tries = tries;
    return options;
}

} // namespace trawlmeter::testing
