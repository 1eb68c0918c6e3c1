#include "verify/CrawlerVerifier.h"

#include "verify/DnsVerdicts.h"

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

// The look-ups a verification needs: each distinct address once, with the domains of every
// engine it signed as.
struct DnsPlan {
    std::vector<DnsQuestion> questions;
    std::unordered_map<IpAddress, std::size_t, IpAddressHash> questionOf;
    std::vector<Pending> pending;

    void add(const IpAddress& address, const CrawlerIdentity& identity, Pending client) {
        const IpAddress lookedUp = address.unmapped();
        const auto [known, added] = questionOf.try_emplace(lookedUp, questions.size());
        if (added) {
            questions.push_back({lookedUp, {}, 0});
        }
        auto& question = questions[known->second];
        for (const auto domain : identity.domains) {
            if (std::find(question.domains.begin(), question.domains.end(), domain) ==
                question.domains.end()) {
                question.domains.push_back(domain);
            }
        }
        ++question.clients;
        client.question = known->second;
        pending.push_back(client);
    }
};

} // namespace

std::unordered_map<std::string, CachedVerdict>
CrawlerVerifier::keptVerdicts(const CrawlerIdentity& identity, Verification& verification) {
    if (!m_cache || verification.cacheFailure) {
        return {};
    }
    auto loaded = m_cache->load(identity.table);
    if (!loaded) {
        verification.cacheFailure = std::move(loaded.error());
        return {};
    }
    return std::move(*loaded);
}

Verification CrawlerVerifier::verify(std::span<const EngineClients> engines,
                                     const VerificationLimits& limits,
                                     const VerificationProgressHandler& progress) {
    const auto deadline = std::chrono::steady_clock::now() + limits.totalTime;
    Verification verification;
    DnsPlan plan;
    std::size_t total = 0;
    // What the ranges and kept verdicts decide; the rest waits for the DNS.
    for (std::size_t e = 0; e < engines.size(); ++e) {
        const auto& engine = engines[e];
        const CrawlerIdentity& identity = engine.identity;
        const auto kept = keptVerdicts(identity, verification);
        auto& verdicts = verification.engines.emplace_back();
        verdicts.table = identity.table;
        total += engine.clients.size();
        for (std::size_t c = 0; c < engine.clients.size(); ++c) {
            auto& verdict = verdicts.clients.emplace_back();
            verdict.client = engine.clients[c];
            const auto address = IpAddress::parse(verdict.client);
            if (!address) {
                continue;
            }
            if (m_ranges.contains(identity.table, *address)) {
                verdict.verdict = Verdict::Verified;
                verdict.source = VerdictSource::Ranges;
            } else if (const auto found = kept.find(verdict.client);
                       found != kept.end() && found->second.verdict != Verdict::Unknown) {
                verdict.verdict = found->second.verdict;
                verdict.host = found->second.host;
                verdict.source = VerdictSource::Cache;
            } else {
                plan.add(*address, identity, {e, c, 0});
            }
        }
    }

    const std::size_t decidedBefore = total - plan.pending.size();
    DnsProgress dnsProgress;
    if (progress) {
        dnsProgress = [&](std::size_t done) { return progress({decidedBefore + done, total}); };
    }
    const DnsRun run = askDns(plan.questions, m_resolver, {limits.inFlight, deadline}, dnsProgress);
    verification.questions = run.questions;
    verification.dnsUnavailable = run.questions > 0 && !run.replied;
    verification.timeRanOut = run.timeRanOut;
    verification.stopped = run.stopped;

    std::vector<std::vector<KeptVerdict>> toKeep(engines.size());
    for (const auto& client : plan.pending) {
        const auto& findings = run.findings[client.question];
        // A question cancelled or never sent tells nothing and is not kept.
        if (!findings.reverse || *findings.reverse == dns::Outcome::Cancelled) {
            continue;
        }
        auto& verdict = verification.engines[client.engine].clients[client.client];
        auto judgement = judgeByDns(findings, engines[client.engine].identity.domains);
        verdict.verdict = judgement.verdict;
        verdict.host = std::move(judgement.host);
        verdict.source = VerdictSource::Dns;
        toKeep[client.engine].push_back({verdict.client, verdict.verdict, verdict.host});
    }
    keep(engines, toKeep, verification);
    return verification;
}

void CrawlerVerifier::keep(std::span<const EngineClients> engines,
                           const std::vector<std::vector<KeptVerdict>>& verdicts,
                           Verification& verification) {
    for (std::size_t e = 0; e < engines.size() && m_cache && !verification.cacheFailure; ++e) {
        if (verdicts[e].empty()) {
            continue;
        }
        if (auto kept = m_cache->store(engines[e].identity.table, verdicts[e]); !kept) {
            verification.cacheFailure = std::move(kept.error());
        }
    }
}

Expected<Verification> verifyCrawlers(const std::string& programFolder,
                                      const std::string& databasePath,
                                      std::span<const EngineClients> engines,
                                      const VerificationSettings& settings,
                                      const VerificationProgressHandler& progress) {
    std::vector<CrawlerIdentity> identities;
    for (const auto& engine : engines) {
        identities.push_back(engine.identity);
    }
    auto ranges = CrawlerRanges::load(programFolder, identities);
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
