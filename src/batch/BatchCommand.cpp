#include "batch/BatchCommand.h"

#include "batch/BatchPlatform.h"
#include "app/CrawlerEngines.h"
#include "app/MainForm.h"
#include "app/Messages.h"
#include "platform/DnsResolver.h"
#include "platform/FileSystem.h"
#include "platform/Problem.h"
#include "platform/StopSignals.h"
#include "platform/WriteFailures.h"
#include "report/Report.h"
#include "split/ChunkPlan.h"
#include "logs/LogFormat.h"
#include "platform/PathText.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <optional>
#include <ostream>
#include <variant>

namespace trawlmeter::batch {
namespace {

constexpr const char* kDescription =
    "Analyses IIS access logs (W3C extended format) without a window. Each log is cut into\n"
    "chunks in the work folder DIR/temp, every line of the five search engines' crawlers is\n"
    "counted and appended to its engine's table of DIR/rezOve.mdb, and the work folder is\n"
    "removed. A line of another crawler of the list of known crawlers goes to the table\n"
    "othercrawlers with the crawler's name. Several logs are several runs, one after another;\n"
    "the six counters and the other crawlers' visits add up and are printed at the end.";

constexpr const char* kExitStatuses =
    "\nExit status:\n"
    "  0        every log was analysed\n"
    "  1        a log was missing or could not be read (the others were analysed)\n"
    "  2        the database is missing or unusable, or the arguments are wrong (a log lies\n"
    "           in the work folder DIR/temp: nothing was analysed)\n"
    "  3        a run stopped on a failure (work folder unusable, another run active in the\n"
    "           folder, disk full, database write failed, out of memory; later logs were not\n"
    "           analysed), the report could not be made (a crawler range file beside the\n"
    "           program missing or damaged) or written, or standard output or standard error\n"
    "           could not be written (the run stops then, as on a signal)\n"
    "  128+N    stopped by signal N (INT, TERM, HUP) after storing what was read so far\n"
    "Every status but 0 comes with a line on standard error that says why.";

struct BatchArguments {
    std::string folder;
    std::vector<std::string> logs;
    std::string report;
    std::optional<dns::ServerAddress> dnsServer;
    bool yieldGaps = false;
};

// What the progress line shows: which log, which chunk, and the time the log has left.
class Progress {
public:
    void setLogCount(std::size_t logCount) { m_logCount = logCount; }

    void startLog(std::size_t index) {
        m_log = index;
        m_logStart = std::chrono::steady_clock::now();
    }

    std::string line(const MainForm& form) const {
        if (form.reportInProgress()) {
            return reportLine(form.reportProgress());
        }
        std::string text = "log " + std::to_string(m_log + 1) + "/" + std::to_string(m_logCount);
        const auto listed = form.LstiisFile.ListCount();
        if (!form.TxtFileName.Text().empty() && listed > 0) {
            const auto done = form.LstiisFile.ListIndex();
            // A plain log's chunks are counted before they are cut; a compressed log's count
            // grows as it is inflated, so its end is not known.
            const auto chunks = plannedChunks(form);
            text += "  chunk " + std::to_string(done + 1);
            if (chunks) {
                text += "/" + std::to_string(*chunks);
            }
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - m_logStart)
                    .count();
            const double megabytes = static_cast<double>(done) * kChunkMegabytes;
            text += "  " + std::to_string(static_cast<long long>(megabytes)) + " MB";
            if (seconds > 0 && done > 0) {
                const double rate = megabytes / seconds;
                text += "  " + std::to_string(static_cast<long long>(rate)) + " MB/s";
                if (chunks) {
                    const double left =
                        static_cast<double>(*chunks - done) * kChunkMegabytes / rate;
                    text += "  " + std::to_string(std::llround(left)) + " s left";
                }
            }
        } else {
            text += "  splitting";
        }
        return text + "  lines " + form.TxtLineCnt.Text();
    }

private:
    static std::string reportLine(const ReportProgress& progress) {
        switch (progress.stage) {
        case ReportStage::Counting:
            break;
        case ReportStage::Verifying:
            return "report  verifying crawler addresses " + std::to_string(progress.decided) + "/" +
                   std::to_string(progress.total);
        case ReportStage::Writing:
            return "report  writing";
        }
        return "report  counting visits";
    }

    // The chunk count of a plain log, which its run shows before the first chunk is cut.
    static std::optional<std::int64_t> plannedChunks(const MainForm& form) {
        if (logs::logKindOf(form.TxtrezOveFile.Text()) != logs::LogKind::Plain) {
            return std::nullopt;
        }
        const std::string& text = form.TxtLstiisFileCnt.Text();
        std::int64_t count = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
        if (error != std::errc() || end != text.data() + text.size()) {
            return std::nullopt;
        }
        return std::max(count, form.LstiisFile.ListCount());
    }

    static constexpr double kChunkMegabytes = static_cast<double>(split::kRunChunkBytes) / 1e6;
    std::size_t m_logCount = 0;
    std::size_t m_log = 0;
    std::chrono::steady_clock::time_point m_logStart{};
};

// The parsed arguments, or the status to exit with (0 after --help).
std::variant<BatchArguments, int> parseArguments(const std::vector<std::string>& arguments,
                                                 const std::string& defaultFolder,
                                                 BatchStreams streams) {
    BatchArguments parsed{defaultFolder, {}, {}, std::nullopt, false};
    CLI::App app(kDescription, "trawlmeter-batch");
    app.footer(kExitStatuses);
    // On Windows CLI11 would take "/x" for an option; a log's path may begin with a slash there.
    app.allow_windows_style_options(false);
    app.add_option("--folder", parsed.folder,
                   "the folder holding rezOve.mdb (default: the folder of this program, so the\n"
                   "window and the batch share one database)")
        ->type_name("DIR");
    app.add_option("--report", parsed.report,
                   "write the crawler report of DIR/rezOve.mdb to FILE, after the logs if any:\n"
                   "FILE.html a page with charts, FILE.json the figures")
        ->type_name("FILE")
        ->check([](const std::string& file) {
            return report::reportFormatFor(file) ? std::string()
                                                 : std::string("FILE must end in .html or .json");
        });
    std::string dnsServer;
    app.add_option("--dns-server", dnsServer,
                   "the DNS server that the report asks whether crawler addresses are the\n"
                   "engines' own (default: the system's resolvers); ADDR or ADDR:PORT, an IPv6\n"
                   "ADDR in brackets before a port: [::1]:5353")
        ->type_name("ADDR[:PORT]")
        ->needs("--report")
        ->check([](const std::string& text) {
            return dns::parseServerAddress(text)
                       ? std::string()
                       : std::string("not a DNS server address: give ADDR or ADDR:PORT");
        });
    app.add_flag("--yield-gaps", parsed.yieldGaps,
                 "print the longest time between two yields of the run (for benchmarks)")
        ->group("");
    app.add_option("logs", parsed.logs,
                   "the logs to analyse, in this order: a folder stands for its *.log files in\n"
                   "name order; .gz .bz2 .xz .zst logs are inflated as they are cut; a .zip or\n"
                   ".7z archive stands for its *.log members in name order")
        ->type_name("LOG");
    std::vector<const char*> argv{"trawlmeter-batch"};
    for (const auto& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
        if (parsed.logs.empty() && parsed.report.empty()) {
            throw CLI::RequiredError("LOG (or --report FILE)");
        }
        if (!dnsServer.empty()) {
            parsed.dnsServer = *dns::parseServerAddress(dnsServer);
        }
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error, streams.out, streams.err);
        return status == 0 ? 0 : exit_status::kUnusableDatabaseOrArguments;
    }
    return parsed;
}

struct ExpandedLogs {
    std::vector<std::string> logs;
    // False when a folder held no log or could not be listed.
    bool everyFolderRead = true;
};

// The logs the arguments stand for: a folder the regular files directly in it whose names end
// in .log, in the byte order of their names; anything else itself. A folder with no log, or one
// that cannot be listed, is reported and left out.
ExpandedLogs expandLogs(const std::vector<std::string>& arguments, MessageBoxPort& messageBox) {
    ExpandedLogs expanded;
    for (const auto& argument : arguments) {
        if (!fs::FolderExists(argument)) {
            expanded.logs.push_back(argument);
            continue;
        }
        auto names = fs::ListFiles(argument);
        if (names) {
            std::erase_if(*names,
                          [](const std::string& name) { return !logs::hasLogEnding(name); });
            if (names->empty()) {
                names = fail(Problem::NoLogInside, argument);
            }
        }
        if (!names) {
            messageBox.showMessage(messages::logUnreadable(names.error()), kOkOnly,
                                   messages::kTitle);
            expanded.everyFolderRead = false;
            continue;
        }
        std::sort(names->begin(), names->end());
        for (const auto& name : *names) {
            expanded.logs.push_back(joinPath(argument, name));
        }
    }
    return expanded;
}

// Every run empties the work folder first, so a log, folder or archive named inside it would be
// gone before it is read, and emptying it for the others would delete it too: the whole batch is
// refused before anything is touched, each such name reported.
bool everyLogOutsideTheWorkFolder(const std::vector<std::string>& arguments,
                                  const std::vector<std::string>& logs, const MainForm& form,
                                  MessageBoxPort& messageBox) {
    // The logs of a folder named are checked only once the folder passed: links among them.
    for (const auto* names : {&arguments, &logs}) {
        bool outside = true;
        for (const auto& name : *names) {
            if (auto checked = form.outsideWorkFolder(name); !checked) {
                messageBox.showMessage(messages::logInWorkFolder(checked.error()), kOkOnly,
                                       messages::kTitle);
                outside = false;
            }
        }
        if (!outside) {
            return false;
        }
    }
    return true;
}

} // namespace

int runBatch(const std::vector<std::string>& arguments, const std::string& defaultFolder,
             BatchStreams streams) {
    auto parsedOrStatus = parseArguments(arguments, defaultFolder, streams);
    if (const int* status = std::get_if<int>(&parsedOrStatus)) {
        return *status;
    }
    const auto& parsed = std::get<BatchArguments>(parsedOrStatus);

    MainForm* runningForm = nullptr;
    Progress progress;
    BatchPlatform platform(streams.err,
                           streams.showProgress ? BatchPlatform::ProgressText([&] {
                               return runningForm ? progress.line(*runningForm) : std::string();
                           })
                                                : BatchPlatform::ProgressText(),
                           streams.signals, [&runningForm] {
                               if (runningForm) {
                                   runningForm->requestStop();
                               }
                           });
    if (parsed.yieldGaps) {
        platform.measureYieldGaps();
    }
    MainForm form(platform.ports(parsed.folder));

    form.Form_Load();
    if (!form.CmdAnalysis.Enabled()) {
        (void)form.Form_Unload();
        return exit_status::kUnusableDatabaseOrArguments;
    }
    const auto [logs, everyFolderRead] = expandLogs(parsed.logs, platform);
    if (!everyLogOutsideTheWorkFolder(parsed.logs, logs, form, platform)) {
        (void)form.Form_Unload();
        return exit_status::kUnusableDatabaseOrArguments;
    }
    int status = everyFolderRead ? exit_status::kFinished : exit_status::kLogUnreadable;
    progress.setLogCount(logs.size());
    for (std::size_t log = 0; log < logs.size(); ++log) {
        // A signal that came before this run stops the batch as one inside it would.
        platform.takeStopSignal();
        if (platform.stopSignal() || platform.errorStreamFailure()) {
            break;
        }
        // The window's message for a missing log names none; among several logs the batch says
        // which one.
        if (!fs::PathExists(logs[log])) {
            platform.showMessage(messages::logMissing(logs[log]), kOkOnly, messages::kTitle);
            status = exit_status::kLogUnreadable;
            continue;
        }
        progress.startLog(log);
        runningForm = &form;
        form.TxtrezOveFile.setText(logs[log]);
        form.CmdAnalysis_Click();
        runningForm = nullptr;
        const RunStep outcome = form.lastRunOutcome();
        if (outcome == RunStep::LogMissing || outcome == RunStep::LogUnreadable) {
            status = exit_status::kLogUnreadable;
        } else if (outcome == RunStep::Failed) {
            status = exit_status::kRunFailed;
            break;
        } else if (outcome == RunStep::Stopped) {
            break;
        }
    }
    platform.endProgress();
    if (!form.Form_Unload()) {
        status = exit_status::kRunFailed;
    }
    if (platform.errorStreamFailure()) {
        status = exit_status::kRunFailed;
    }
    // A report of what the stored visits say, unless the batch was stopped on the way.
    const bool goOn = status != exit_status::kRunFailed && !platform.stopSignal();
    if (!parsed.report.empty() && goOn) {
        // The published ranges lie beside the program, whichever folder holds the database.
        form.setRangeFolder(defaultFolder);
        form.setDnsServer(parsed.dnsServer);
        runningForm = &form;
        const RunStep written = form.writeCrawlerReport(parsed.report);
        runningForm = nullptr;
        platform.endProgress();
        if (written == RunStep::Failed) {
            status = exit_status::kRunFailed;
        }
    }

    if (!parsed.logs.empty()) {
        for (const auto& engine : kCrawlerEngines) {
            streams.out << engine.name << ": " << (form.*engine.counter).Text() << '\n';
        }
        streams.out << "All: " << form.TxtLineCnt.Text() << '\n';
        streams.out << "Other crawlers: " << form.otherCrawlerVisits() << '\n';
    }
    // Counters that never reached their reader (a full disk, a closed stream, a pipe nobody
    // reads) are a failure, not a finished batch.
    if (const auto failed = flushStandardStream(streams.out)) {
        streams.err << "trawlmeter-batch: cannot write to standard output ("
                    << messages::reason(Failure{failed, {}, {}}) << ")\n";
        (void)flushStandardStream(streams.err);
        status = exit_status::kRunFailed;
    }
    if (parsed.yieldGaps) {
        streams.err << "longest yield gap: "
                    << std::chrono::duration<double, std::milli>(platform.longestYieldGap()).count()
                    << " ms\n";
    }
    if (const auto signal = platform.stopSignal()) {
        streams.err << "trawlmeter-batch: stopped by SIG" << StopSignals::name(*signal)
                    << "; what was read so far is stored\n";
        return exit_status::kSignalBase + *signal;
    }
    return status;
}

} // namespace trawlmeter::batch
