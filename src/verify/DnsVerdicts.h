#pragma once

#include "platform/DnsResolver.h"
#include "platform/IpAddress.h"
#include "verify/Verdict.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Reverse and forward look-ups of client addresses, and the verdicts they give.
namespace trawlmeter::verify {

// One client address to look up (an IPv4-mapped one as its IPv4 address), with the domains of
// every engine it signed as.
struct DnsQuestion {
    IpAddress address;
    std::vector<std::string_view> domains;
    // How many clients wait on it, as progress counts them.
    std::size_t clients = 1;
};

// A host name the reverse look-up gave under one of the domains, and its forward look-up.
struct HostCheck {
    std::string host;
    // Nothing while it was not asked.
    std::optional<dns::Outcome> outcome;
    bool givesAddressBack = false;
};

struct DnsFindings {
    // Nothing while the reverse look-up was not asked.
    std::optional<dns::Outcome> reverse;
    std::vector<std::string> hosts;
    // The hosts under the domains, each looked up in the family of the address.
    std::vector<HostCheck> forward;
};

struct DnsLimits {
    // Questions in flight at once.
    std::size_t inFlight = 100;
    // After this nothing more is waited for: what is still pending is cancelled.
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
};

struct DnsRun {
    // One per question, in their order.
    std::vector<DnsFindings> findings;
    std::size_t questions = 0;
    // Some server replied to some question, whatever it said.
    bool replied = false;
    // A question timed out before any reply came: the resolver is taken as out of reach and
    // nothing more was asked.
    bool gaveUp = false;
    bool timeRanOut = false;
    // The progress handler asked to stop.
    bool stopped = false;
};

// Called now and then with the clients of the questions whose look-ups are complete; false
// stops.
using DnsProgress = std::function<bool(std::size_t done)>;

// Asks the reverse look-up of every address and the forward look-up of each host it gives
// under its domains, at most `limits.inFlight` at a time, until all are answered, the deadline
// passes, the resolver proves out of reach or `progress` says stop. Nothing is left pending on
// `resolver` when it returns.
DnsRun askDns(std::span<const DnsQuestion> questions, dns::Resolver& resolver,
              const DnsLimits& limits, const DnsProgress& progress = {});

struct Judgement {
    Verdict verdict = Verdict::Unknown;
    // The host name that decided: the verified host, the first host under the domains, else
    // the first host the reverse look-up gave; "" when there was none.
    std::string host;
};

// The verdict the look-ups give for an engine of these domains.
Judgement judgeByDns(const DnsFindings& findings, std::span<const std::string_view> domains);

} // namespace trawlmeter::verify
