#include "report/Report.h"

#include "platform/Problem.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace trawlmeter::report {
namespace {

// The visits of each verdict among the engine's checked clients, whose verdicts come in the
// order of its clientVisits; the visits of the clients past them count as unknown. The
// impostors keep that order: most visits first, then by address.
EngineVerification countVerdicts(const EngineFigures& figures,
                                 const std::vector<verify::ClientVerdict>& verdicts) {
    EngineVerification counted;
    long long checkedVisits = 0;
    for (std::size_t c = 0; c < verdicts.size() && c < figures.clientVisits.size(); ++c) {
        const long long visits = figures.clientVisits[c].visits;
        checkedVisits += visits;
        switch (verdicts[c].verdict) {
        case verify::Verdict::Verified:
            counted.verified += visits;
            break;
        case verify::Verdict::Impostor:
            counted.impostor += visits;
            counted.impostors.push_back({verdicts[c].client, visits, verdicts[c].host});
            break;
        case verify::Verdict::Unknown:
            counted.unknown += visits;
            break;
        }
    }
    // A run may have added records between two of the figures' queries.
    counted.unknown += std::max(figures.visits - checkedVisits, 0LL);
    counted.uncheckedClients =
        std::max(figures.clients - static_cast<long long>(figures.clientVisits.size()), 0LL);
    return counted;
}

} // namespace

Expected<void> verifyReport(Report& report, std::span<const ReportEngine> engines,
                            const ReportVerificationSettings& settings,
                            const VerifyProgress& progress, std::stop_token stop) {
    try {
        std::vector<verify::EngineClients> asked;
        const std::size_t count = std::min(report.engines.size(), engines.size());
        for (std::size_t e = 0; e < count; ++e) {
            auto& engine = asked.emplace_back();
            engine.identity = {engines[e].table, engines[e].domains, engines[e].rangeFiles};
            engine.clients.reserve(report.engines[e].clientVisits.size());
            for (const Count& client : report.engines[e].clientVisits) {
                engine.clients.push_back(client.value);
            }
        }
        auto verification = verify::verifyCrawlers(settings.rangeFolder, report.database, asked,
                                                   settings.verification,
                                                   [&](const verify::VerificationProgress& now) {
                                                       if (progress) {
                                                           progress(now.decided, now.total);
                                                       }
                                                       return !stop.stop_requested();
                                                   });
        if (stop.stop_requested()) {
            return fail(Problem::Stopped);
        }
        if (!verification) {
            return tl::unexpected(std::move(verification.error()));
        }
        for (std::size_t e = 0; e < count; ++e) {
            report.engines[e].verification =
                countVerdicts(report.engines[e], verification->engines[e].clients);
        }
        report.verification =
            VerificationSummary{verification->questions, verification->dnsUnavailable,
                                verification->timeRanOut, std::move(verification->cacheFailure)};
        return {};
    } catch (const std::exception& error) {
        return tl::unexpected(failureOf(error));
    }
}

} // namespace trawlmeter::report
