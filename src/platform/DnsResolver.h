#pragma once

#include "platform/Failure.h"
#include "platform/IpAddress.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// Asking the DNS, many questions at a time, without waiting on any one of them.
namespace trawlmeter::dns {

// How a question ended. Only the first three say what the DNS holds; the others say that it
// could not be asked.
enum class Outcome {
    Answered,    // records of the type asked for
    NoSuchName,  // the name does not exist (NXDOMAIN)
    NoRecords,   // the name exists without records of that type
    Failed,      // the server failed (SERVFAIL), or its reply could not be read
    TimedOut,    // no reply in time, after every try
    Unreachable, // no server took the question: a closed port, no route, or a refusal
    Cancelled,   // cancelAll() ended it
};

// True for the outcomes that say what the DNS holds.
constexpr bool isDefinitive(Outcome outcome) {
    return outcome == Outcome::Answered || outcome == Outcome::NoSuchName ||
           outcome == Outcome::NoRecords;
}

struct Answer {
    Outcome outcome = Outcome::Failed;
    // A reverse look-up: the host names, as the reply spells them, without repeats.
    std::vector<std::string> names;
    // A forward look-up: the addresses.
    std::vector<IpAddress> addresses;
};

using AnswerHandler = std::function<void(Answer)>;

// A DNS client with many questions in flight. Each handler is called exactly once, and only
// from within waitForAnswers() or cancelAll(), never from within the call that asked.
class Resolver {
public:
    virtual ~Resolver() = default;
    // The host names the reverse zone gives `address` (its PTR records).
    virtual void askHostNames(const IpAddress& address, AnswerHandler onAnswer) = 0;
    // The addresses of `host` of one family: its A records for IPv4, AAAA for IPv6.
    virtual void askAddresses(const std::string& host, IpAddress::Family family,
                              AnswerHandler onAnswer) = 0;
    // Questions whose handler has not been called yet.
    virtual std::size_t pending() const = 0;
    // Hands over answers as they come, returning once some were handed over or at `until`;
    // at once when nothing is pending.
    virtual void waitForAnswers(std::chrono::steady_clock::time_point until) = 0;
    // Ends every pending question with Outcome::Cancelled, calling their handlers now.
    virtual void cancelAll() = 0;
};

struct ServerAddress {
    IpAddress address;
    std::uint16_t port = 53;
    bool operator==(const ServerAddress&) const = default;
};

// "ADDR" or "ADDR:PORT", an IPv6 ADDR in brackets when a port follows ("[::1]:5353").
// Problem::BadServerAddress, about the text, for anything else.
[[nodiscard]] Expected<ServerAddress> parseServerAddress(std::string_view text);

struct ResolverOptions {
    // The system's configured resolvers when empty.
    std::optional<ServerAddress> server;
    // How long the first try waits for a reply; each further try waits twice as long as the
    // one before.
    std::chrono::milliseconds firstTryTimeout{2000};
    int tries = 2;
};

// A resolver through c-ares. Fails, with c-ares' reason, when it cannot start (no memory, a
// system configuration it cannot read).
[[nodiscard]] Expected<std::unique_ptr<Resolver>> openResolver(const ResolverOptions& options);

// c-ares' status codes as error codes.
const std::error_category& aresCategory();

} // namespace trawlmeter::dns
