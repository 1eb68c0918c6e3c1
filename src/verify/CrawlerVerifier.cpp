#include "verify/CrawlerVerifier.h"

#include "verify/CrawlerIdentities.h"
#include "verify/DnsVerdicts.h"
#include "verify/VerdictCache.h"

#include <algorithm>
#include <unordered_map>

namespace trawlmeter::verify {
namespace {

// A client that needs the DNS: where its verdict goes and the question that decides it.
struct Pending {
    std::size_t engine;
    std::size_t client;
    std::size_t question;
};

void addDomains(std::vector<std::string_view>& domains, std::span<const std::string_view> more) {
    for (const auto domain : more) {
        if (std::find(domains.begin(), domains.end(), domain) == domains.end()) {
            domains.push_back(domain);
        }
    }
}

} // namespace

Verification CrawlerVerifier::verify(std::span<const EngineClients> engines,
                                     const VerificationLimits& limits,
                                     const VerificationProgressHandler& progress) {
    const auto deadline = std::chrono::steady_clock::now() + limits.totalTime;
    Verification verification;
    std::vector<DnsQuestion> questions;
    std::unordered_map<IpAddress, std::size_t, IpAddressHash> questionOf;
    std::vector<Pending> pending;
    std::size_t total = 0;

    for (std::size_t e = 0; e < engines.size(); ++e) {
        const auto& engine = engines[e];
        const CrawlerIdentity* identity = crawlerIdentity(engine.table);
        auto& verdicts = verification.engines.emplace_back();
        verdicts.table = engine.table;
        std::unordered_map<std::string, CachedVerdict> cached;
        if (m_cache && identity && !verification.cacheFailure) {
            if (auto loaded = m_cache->load(identity->table)) {
                cached = std::move(*loaded);
            } else {
                verification.cacheFailure = std::move(loaded.error());
            }
        }
        total += engine.clients.size();
        for (std::size_t c = 0; c < engine.clients.size(); ++c) {
            auto& verdict = verdicts.clients.emplace_back();
            verdict.client = engine.clients[c];
            const auto address = IpAddress::parse(verdict.client);
            if (!address || !identity) {
                continue;
            }
            if (m_ranges.contains(identity->table, *address)) {
                verdict.verdict = Verdict::Verified;
                verdict.source = VerdictSource::Ranges;
                continue;
            }
            if (const auto kept = cached.find(verdict.client);
                kept != cached.end() && kept->second.verdict != Verdict::Unknown) {
                verdict.verdict = kept->second.verdict;
                verdict.host = kept->second.host;
                verdict.source = VerdictSource::Cache;
                continue;
            }
            const IpAddress lookedUp = address->unmapped();
            auto [known, added] = questionOf.try_emplace(lookedUp, questions.size());
            if (added) {
                questions.push_back({lookedUp, {}, 0});
            }
            auto& question = questions[known->second];
            addDomains(question.domains, identity->domains);
            ++question.clients;
            pending.push_back({e, c, known->second});
        }
    }

    const std::size_t decidedBefore = total - pending.size();
    DnsProgress dnsProgress;
    if (progress) {
        dnsProgress = [&](std::size_t done) { return progress({decidedBefore + done, total}); };
    }
    DnsLimits dnsLimits{limits.inFlight, deadline};
    DnsRun run = askDns(questions, m_resolver, dnsLimits, dnsProgress);
    verification.questions = run.questions;
    verification.dnsUnavailable = run.questions > 0 && !run.replied;
    verification.timeRanOut = run.timeRanOut;
    verification.stopped = run.stopped;

    std::vector<std::vector<KeptVerdict>> toKeep(engines.size());
    for (const auto& client : pending) {
        const auto& findings = run.findings[client.question];
        auto& verdict = verification.engines[client.engine].clients[client.client];
        const bool asked = findings.reverse && *findings.reverse != dns::Outcome::Cancelled;
        if (!asked) {
            continue;
        }
        const auto* identity = crawlerIdentity(engines[client.engine].table);
        auto judgement = judgeByDns(findings, identity->domains);
        verdict.verdict = judgement.verdict;
        verdict.host = std::move(judgement.host);
        verdict.source = VerdictSource::Dns;
        toKeep[client.engine].push_back({verdict.client, verdict.verdict, verdict.host});
    }
    if (m_cache && !verification.cacheFailure) {
        for (std::size_t e = 0; e < engines.size(); ++e) {
            const auto* identity = crawlerIdentity(engines[e].table);
            if (toKeep[e].empty() || !identity) {
                continue;
            }
            if (auto kept = m_cache->store(identity->table, toKeep[e]); !kept) {
                verification.cacheFailure = std::move(kept.error());
                break;
            }
        }
    }
    return verification;
}

Expected<Verification> verifyCrawlers(const std::string& programFolder,
                                      const std::string& databasePath,
                                      std::span<const EngineClients> engines,
                                      const VerificationSettings& settings,
                                      const VerificationProgressHandler& progress) {
    auto ranges = CrawlerRanges::load(programFolder);
    if (!ranges) {
        return tl::unexpected(std::move(ranges.error()));
    }
    auto resolver = dns::openResolver(settings.resolver);
    if (!resolver) {
        return tl::unexpected(std::move(resolver.error()));
    }
    auto cache = VerdictCache::open(databasePath);
    CrawlerVerifier verifier(*ranges, **resolver, cache ? &*cache : nullptr);
    auto verification = verifier.verify(engines, settings.limits, progress);
    if (!cache && !verification.cacheFailure) {
        verification.cacheFailure = std::move(cache.error());
    }
    return verification;
}

} // namespace trawlmeter::verify
