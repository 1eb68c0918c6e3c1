#pragma once

#include "platform/DnsResolver.h"
#include "platform/Failure.h"
#include "verify/CrawlerIdentity.h"
#include "verify/CrawlerRanges.h"
#include "verify/Verdict.h"
#include "verify/VerdictCache.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

// Whether the client addresses of each engine's visits are the engine's crawlers.
namespace trawlmeter::verify {

// The distinct client addresses of one engine's visits, as its table stores them.
struct EngineClients {
    CrawlerIdentity identity;
    std::vector<std::string> clients;
};

// What a verdict rests on.
enum class VerdictSource {
    Ranges, // the engine's published ranges
    Cache,  // a verdict kept from an earlier verification
    Dns,    // the look-ups of this one
    // Not an address, or not looked up: the time ran out, the resolver was out of reach, or
    // the verification was stopped first.
    NotAsked,
};

struct ClientVerdict {
    std::string client;
    Verdict verdict = Verdict::Unknown;
    // The host name its address gave (see Judgement); "" when none did.
    std::string host;
    VerdictSource source = VerdictSource::NotAsked;
};

struct EngineVerdicts {
    std::string table;
    // In the order of the clients asked about.
    std::vector<ClientVerdict> clients;
};

struct VerificationLimits {
    // The whole verification, DNS included; what is not answered by then stays unknown.
    std::chrono::milliseconds totalTime{60000};
    // DNS questions in flight at once.
    std::size_t inFlight = 100;
};

struct VerificationProgress {
    std::size_t decided = 0;
    std::size_t total = 0;
};

// Called now and then while the DNS is asked, from the thread that verifies; false stops.
using VerificationProgressHandler = std::function<bool(const VerificationProgress&)>;

struct Verification {
    // In the order asked.
    std::vector<EngineVerdicts> engines;
    // DNS questions asked.
    std::size_t questions = 0;
    // Questions were asked and no server replied to any: every DNS verdict is unknown.
    bool dnsUnavailable = false;
    bool timeRanOut = false;
    bool stopped = false;
    // The verdicts stand, but earlier ones could not be read or these could not be kept.
    std::optional<Failure> cacheFailure;
};

class CrawlerVerifier {
public:
    // `cache` may be null: every address without a range is then looked up.
    CrawlerVerifier(const CrawlerRanges& ranges, dns::Resolver& resolver, VerdictCache* cache)
        : m_ranges(ranges), m_resolver(resolver), m_cache(cache) {}

    // Decides each client of each engine: by the engine's ranges, else by a verified or
    // impostor verdict kept earlier, else by reverse and forward DNS (each distinct address
    // looked up once, whichever engines it signed as). Verdicts the DNS gave are kept, unknown
    // ones too, to be asked again next time.
    Verification verify(std::span<const EngineClients> engines, const VerificationLimits& limits,
                        const VerificationProgressHandler& progress = {});

private:
    // The verified and impostor verdicts kept for the engine; none without a cache, and none
    // once the cache failed (the failure is noted).
    std::unordered_map<std::string, CachedVerdict> keptVerdicts(const CrawlerIdentity& identity,
                                                                Verification& verification);
    void keep(std::span<const EngineClients> engines,
              const std::vector<std::vector<KeptVerdict>>& verdicts, Verification& verification);

    const CrawlerRanges& m_ranges;
    dns::Resolver& m_resolver;
    VerdictCache* m_cache;
};

struct VerificationSettings {
    dns::ResolverOptions resolver;
    VerificationLimits limits;
};

// A whole verification: the range files the engines' identities name read from `programFolder`,
// verdicts kept in the visit database at `databasePath`, the DNS asked through c-ares. Fails
// when a range file is missing, unreadable, malformed or empty, or when the resolver cannot
// start. A verdict table that cannot be used is told in `cacheFailure`, and the verification
// goes on without it.
[[nodiscard]] Expected<Verification>
verifyCrawlers(const std::string& programFolder, const std::string& databasePath,
               std::span<const EngineClients> engines, const VerificationSettings& settings,
               const VerificationProgressHandler& progress = {});

} // namespace trawlmeter::verify
