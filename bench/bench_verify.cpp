// Verifies N distinct client addresses of one engine by DNS alone and prints the verdicts and
// the wall time. The addresses are 10.0.0.1, 10.0.0.2, ... in order; bench_verify.sh gives a
// local dnsmasq the records for them.
//   bench-verify SERVER N [FIRST_TRY_MS (2000)] [TRIES (2)] [TOTAL_MS (60000)] [IN_FLIGHT (100)]
// SERVER is ADDR[:PORT], or "silent" for a port of this program's own that never answers.
#include "BenchSupport.h"
#include "app/CrawlerEngines.h"
#include "verify/CrawlerVerifier.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace trawlmeter;

// A UDP socket on 127.0.0.1 that is never read; its address as ADDR:PORT.
std::string silentServer() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("silent port");
        std::exit(2);
    }
    return "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
}

long argument(int argc, char** argv, int index, long fallback) {
    return argc > index ? std::atol(argv[index]) : fallback;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SERVER N [FIRST_TRY_MS] [TRIES] [TOTAL_MS] [IN_FLIGHT]\n",
                     argv[0]);
        return 2;
    }
    const std::string serverText = std::string(argv[1]) == "silent" ? silentServer() : argv[1];
    const auto server = dns::parseServerAddress(serverText);
    if (!server) {
        std::fprintf(stderr, "not a server address: %s\n", serverText.c_str());
        return 2;
    }
    const long count = argument(argc, argv, 2, 10000);
    verify::VerificationSettings settings;
    settings.resolver.server = *server;
    settings.resolver.firstTryTimeout = std::chrono::milliseconds(argument(argc, argv, 3, 2000));
    settings.resolver.tries = static_cast<int>(argument(argc, argv, 4, 2));
    settings.limits.totalTime = std::chrono::milliseconds(argument(argc, argv, 5, 60000));
    settings.limits.inFlight = static_cast<std::size_t>(argument(argc, argv, 6, 100));

    const CrawlerEngine& baidu = kCrawlerEngines[engineNamed("Baidu")];
    std::vector<verify::EngineClients> engines{{{baidu.table, baidu.domains, {}}, {}}};
    for (long i = 1; i <= count; ++i) {
        engines[0].clients.push_back("10." + std::to_string((i >> 16) & 255) + "." +
                                     std::to_string((i >> 8) & 255) + "." +
                                     std::to_string(i & 255));
    }
    auto resolver = dns::openResolver(settings.resolver);
    if (!resolver) {
        std::fprintf(stderr, "no resolver: %s\n", resolver.error().code.message().c_str());
        return 1;
    }
    const verify::CrawlerRanges noRanges;
    const auto start = std::chrono::steady_clock::now();
    const auto verification =
        verify::CrawlerVerifier(noRanges, **resolver, nullptr).verify(engines, settings.limits);
    const double seconds = bench::secondsSince(start);

    long counts[3] = {0, 0, 0};
    for (const auto& client : verification.engines[0].clients) {
        ++counts[static_cast<int>(client.verdict)];
    }
    std::printf("%ld addresses via %s: %.3f s  verified %ld  impostor %ld  unknown %ld  "
                "questions %zu%s%s\n",
                count, serverText.c_str(), seconds, counts[0], counts[1], counts[2],
                verification.questions, verification.dnsUnavailable ? "  (no DNS reply)" : "",
                verification.timeRanOut ? "  (time ran out)" : "");
    return 0;
}
