#include "app/MainForm.h"

#include "app/CrawlerEngines.h"
#include "app/Messages.h"
#include "app/ProgramFiles.h"
#include "crawlers/CrawlerCatalogue.h"
#include "platform/FileSystem.h"
#include "platform/Problem.h"
#include "report/Report.h"
#include "platform/PathText.h"
#include "store/VisitColumns.h"

#include <array>
#include <atomic>
#include <chrono>
#include <exception>
#include <future>
#include <optional>
#include <stop_token>
#include <system_error>
#include <thread>

namespace trawlmeter {
namespace {

// Microsoft's crawler is found by the list, not by the token: msnbot became bingbot in 2010.
constexpr std::string_view kMsnNote =
    "Microsoft 的爬虫自 2010 年起名为 bingbot，用户代理中不再有“msn”：它的访问记在“其他爬虫”中。";

constexpr auto kReportEngines = [] {
    std::array<report::ReportEngine, kCrawlerEngines.size()> engines{};
    for (std::size_t i = 0; i < engines.size(); ++i) {
        const CrawlerEngine& engine = kCrawlerEngines[i];
        engines[i] = {engine.name, engine.table, engine.domains, engine.rangeFiles,
                      i == engineNamed("Msn") ? kMsnNote : std::string_view()};
    }
    return engines;
}();

// How long the window waits for the report between two yields.
constexpr auto kReportPoll = std::chrono::milliseconds(10);

// A file: address for a local path, its bytes outside the unreserved ones percent-encoded.
std::string fileUrl(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                           byte == '_' || byte == '~' || byte == '/';
        if (plain) {
            url += c;
        } else {
            url += '%';
            url += kHex[byte >> 4];
            url += kHex[byte & 0x0f];
        }
    }
    return url;
}

// What the report's thread needs, copied before it starts: it touches nothing of the form.
struct ReportJob {
    std::string database;
    std::vector<std::string> targets;
    report::ReportVerificationSettings settings;
    // The other crawlers' table and their categories, from a catalogue that outlives the job.
    report::OtherCrawlersSource others;
};

// Where the report's thread stands, for the window to show.
struct SharedProgress {
    std::atomic<ReportStage> stage = ReportStage::Counting;
    std::atomic<std::size_t> decided = 0;
    std::atomic<std::size_t> total = 0;
};

// What the report's thread hands back: the file written, or why there is none and the message
// that says so (none when it was stopped).
struct JobResult {
    RunStep step = RunStep::Done;
    std::string written;
    std::optional<Failure> failure;
    std::string message;
};

JobResult failed(const Failure& failure, std::string message) {
    if (failure.code == Problem::Stopped) {
        return {RunStep::Stopped, {}, failure, {}};
    }
    return {RunStep::Failed, {}, failure, std::move(message)};
}

// Counts, verifies and writes the report, on the report's thread.
JobResult runJob(const ReportJob& job, SharedProgress& progress, std::stop_token stop) noexcept {
    try {
        auto collected = report::collectReport(job.database, kReportEngines, report::kTallyBudget,
                                               job.others, stop);
        if (!collected) {
            return failed(collected.error(),
                          messages::reportFailed(collected.error(), job.database));
        }
        std::size_t clients = 0;
        for (const report::EngineFigures& engine : collected->engines) {
            clients += engine.clientVisits.size();
        }
        // The total first, so that the status line never shows a verification of nothing.
        progress.total = clients;
        progress.stage = ReportStage::Verifying;
        const auto verified = report::verifyReport(
            *collected, kReportEngines, job.settings,
            [&progress](std::size_t decided, std::size_t total) {
                progress.decided = decided;
                progress.total = total;
            },
            stop);
        if (!verified) {
            return failed(verified.error(), messages::reportNotVerified(verified.error()));
        }
        progress.stage = ReportStage::Writing;
        Expected<void> saved = fail(std::make_error_code(std::errc::invalid_argument));
        for (const std::string& target : job.targets) {
            saved = report::saveReport(*collected, target);
            if (saved) {
                return {RunStep::Done, target, std::nullopt, {}};
            }
        }
        return failed(saved.error(), messages::reportFailed(saved.error(), job.database));
    } catch (const std::exception& error) {
        const Failure failure = failureOf(error);
        return failed(failure, messages::reportFailed(failure, job.database));
    }
}

} // namespace

MainForm::ReportOutcome MainForm::makeCrawlerReport(std::vector<std::string> targets) {
    // The categories come from the list compiled in: the run's, or one read for the report.
    std::optional<crawlers::CrawlerCatalogue> read;
    const crawlers::CrawlerCatalogue* catalogue =
        m_run.otherCrawlers ? &m_run.otherCrawlers->catalogue() : nullptr;
    if (!catalogue) {
        auto shipped = crawlers::CrawlerCatalogue::shipped();
        if (!shipped) {
            tell(messages::reportFailed(shipped.error(), programPath(kDatabaseName)),
                 shipped.error());
            return {RunStep::Failed, {}};
        }
        catalogue = &read.emplace(std::move(*shipped));
    }
    // The report reads the database a run would write, and a run would take the window's
    // status line: one at a time.
    const bool analysisOffered = CmdAnalysis.Enabled();
    const bool reportOffered = MnuCrawlerReport.Enabled();
    const std::string status = Label3.Caption();
    CmdAnalysis.setEnabled(false);
    MnuCrawlerReport.setEnabled(false);
    m_run.stopRequested = false;
    m_reportInProgress = true;
    m_reportProgress = {};
    Label3.setCaption(messages::reportProgress(m_reportProgress));

    ReportJob job{programPath(kDatabaseName), std::move(targets), {}, {}};
    // A name the list no longer has, stored by an earlier version of it, gets none ("other").
    job.others = {
        store::kOtherCrawlersTable, store::kCrawlerColumn, [catalogue](std::string_view name) {
            const auto category = catalogue->categoryOf(name);
            return category ? std::string(crawlers::categoryTag(*category)) : std::string();
        }};
    job.settings.rangeFolder = m_rangeFolder.value_or(programFolder());
    job.settings.verification.resolver.server = m_dnsServer;
    SharedProgress shared;
    JobResult result;
    try {
        std::promise<JobResult> promise;
        auto done = promise.get_future();
        std::jthread worker([&job, &shared, &promise](std::stop_token stop) {
            promise.set_value(runJob(job, shared, std::move(stop)));
        });
        while (done.wait_for(kReportPoll) != std::future_status::ready) {
            const ReportProgress now{shared.stage, shared.decided, shared.total};
            if (now != m_reportProgress) {
                m_reportProgress = now;
                Label3.setCaption(messages::reportProgress(now));
            }
            m_ports.eventLoop.yieldWhileWaiting();
            if (m_run.stopRequested) {
                // Once is enough; the report ends at its next look.
                (void)worker.request_stop();
            }
        }
        result = done.get();
    } catch (const std::exception& error) {
        // No thread to make it on.
        const Failure failure = failureOf(error);
        result = failed(failure, messages::reportFailed(failure, job.database));
    }

    Label3.setCaption(status);
    CmdAnalysis.setEnabled(analysisOffered);
    MnuCrawlerReport.setEnabled(reportOffered);
    m_reportInProgress = false;
    if (result.step == RunStep::Failed) {
        tell(result.message, result.failure);
    }
    return {result.step, std::move(result.written)};
}

RunStep MainForm::writeCrawlerReport(const std::string& target) {
    return makeCrawlerReport({target}).step;
}

void MainForm::MnuCrawlerReport_Click() {
    std::vector<std::string> targets{programPath(kReportName)};
    // A program folder closed to writing: the user's temporary folder takes the page.
    if (const auto temporary = fs::TemporaryFolder()) {
        targets.push_back(joinPath(*temporary, kReportName));
    }
    const ReportOutcome outcome = makeCrawlerReport(std::move(targets));
    if (outcome.step != RunStep::Done) {
        return;
    }
    // Unlike the credit line, the page was asked for: without a browser, say where it lies.
    if (!m_ports.urlOpener.openUrl(fileUrl(outcome.written))) {
        tell(messages::reportNotOpened(outcome.written));
    }
}

} // namespace trawlmeter
