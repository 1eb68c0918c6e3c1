#pragma once

#include "app/Controls.h"
#include "app/ReportProgress.h"
#include "app/RunState.h"
#include "app/RunStep.h"
#include "platform/Database.h"
#include "platform/DnsResolver.h"
#include "platform/Failure.h"
#include "platform/Ports.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trawlmeter::split {
class ChunkCutter;
class CutAhead;
} // namespace trawlmeter::split

namespace trawlmeter {

enum class FinishMessage { Hide, Show };

// The program's one window as a plain model: its controls hold all shared run-time state
// as text, and its operations are the handlers and commands the stages call on each other.
// Where nothing is at stake a failing step is skipped without a message; where records, counts
// or files are, the stage that fails shows a message made from the failure (app/Messages.h) and
// its RunStep stops the run. No exception leaves a handler.
class MainForm {
public:
    explicit MainForm(PlatformPorts ports);
    MainForm(const MainForm&) = delete;
    MainForm& operator=(const MainForm&) = delete;
    ~MainForm();

    // Shown on the window.
    Label Label1;
    TextBox TxtrezOveFile;
    CommandButton CmdSelectrezOve;
    CommandButton CmdAnalysis;
    Frame Frame3;
    Label Label2;
    Label Label3;
    Frame Frame1;
    Label LabelBaidu;
    TextBox TxtBaiduCnt;
    Label LabelGoogle;
    TextBox TxtGoogleCnt;
    Label LabelYahoo;
    TextBox TxtYahooCnt;
    Label LabelSogou;
    TextBox TxtSogouCnt;
    Label LabelMsn;
    TextBox TxtMsnCnt;
    Label LabelAll;
    TextBox TxtLineCnt;
    Label Label4;
    // The hidden group.
    Frame Frame2;
    CommandButton CmdSaveBaidu;
    CommandButton CmdSaveGoogle;
    CommandButton CmdSaveYahoo;
    CommandButton CmdSaveMsn;
    CommandButton CmdSaveSogou;
    TextBox TxtLstiisFileCnt;
    TextBox TxtFileName;
    ListBox LstiisFile;
    CommandButton CmdGetiisFile;
    CommandButton CmdFileSplit;
    CommandButton CmdCreateTemp;
    CommandButton CmdDeleteTemp;
    FileDialogComponent CommonDialog1;
    TextBox TxtContent;
    // The window's context menu.
    MenuEntry MnuCrawlerReport;

    // Every control in layout order, for front ends that bind widgets to them.
    std::vector<Control*> controls();

    // The open visit database, empty when it is missing or could not be opened.
    std::unique_ptr<db::Database> VisitDb;
    // The table handle of the last visit export.
    std::weak_ptr<db::Recordset> VisitRs;

    // Start-up and shut-down (app/StartupHandlers.cpp).
    void Form_Load();
    // False when the last records could not be committed (the message says so).
    [[nodiscard]] bool Form_Unload();
    void Label4_Click();

    // Log selection (app/LogSelectionHandler.cpp).
    void CmdSelectrezOve_Click();

    // The work folder (app/WorkFolderHandlers.cpp). Creating makes it the empty folder of a
    // new run; deleting removes it with what is left in it, but never a link or a file.
    RunStep CmdCreateTemp_Click();
    [[nodiscard]] Expected<void> CmdDeleteTemp_Click();

    // Splitting and the chunk list (app/SplitHandlers.cpp).
    RunStep CmdFileSplit_Click();
    void CmdGetiisFile_Click();
    RunStep FileSplit(const std::string& SourceFile, const std::string& DestinationFile,
                      std::int32_t ChunkSize, std::int32_t BufferSize,
                      FinishMessage ShowFinishMessage);

    // Refuses a log, a folder of logs or an archive that lies inside the work folder, which a
    // run empties before it splits: the failure names it (app/WorkFolderHandlers.cpp).
    [[nodiscard]] Expected<void> outsideWorkFolder(const std::string& path) const;

    // The analysis run and the chunk scanner (app/AnalysisHandlers.cpp).
    void CmdAnalysis_Click();
    RunStep ScanLogChunk(const std::string& name);

    // Visit exports: store TxtContent as one record in the engine's table; the reason when it
    // could not be stored (app/VisitExports.cpp).
    using VisitExport = Expected<void>;
    [[nodiscard]] VisitExport CmdSaveBaidu_Click();
    [[nodiscard]] VisitExport CmdSaveGoogle_Click();
    [[nodiscard]] VisitExport CmdSaveYahoo_Click();
    [[nodiscard]] VisitExport CmdSaveSogou_Click();
    [[nodiscard]] VisitExport CmdSaveMsn_Click();

    // The crawler report of the visit database, the addresses of its crawlers verified:
    // written as report.html into the program folder (into the user's temporary folder when
    // that cannot be written) and opened in the browser (app/ReportHandler.cpp). It is made on
    // a thread of its own while the window stays live, its progress in Label3 and the analysis
    // off; closing the window meanwhile stops it.
    void MnuCrawlerReport_Click();
    // Makes the crawler report as the menu entry does and writes it to `target`, as a page or
    // as JSON by its ending: Done, Failed (its message shown) or Stopped.
    RunStep writeCrawlerReport(const std::string& target);
    // Where the report reads the crawlers' published ranges: the program folder unless set.
    void setRangeFolder(std::string folder) { m_rangeFolder = std::move(folder); }
    // The DNS server the report asks: the system's resolvers unless set.
    void setDnsServer(std::optional<dns::ServerAddress> server) { m_dnsServer = server; }
    // While a report is made, and how far it has come.
    bool reportInProgress() const { return m_reportInProgress; }
    const ReportProgress& reportProgress() const { return m_reportProgress; }

    // The visits of other known crawlers stored, added up over every run until the window
    // closes, as the counters are; the window shows no box for it.
    std::uint64_t otherCrawlerVisits() const { return m_otherCrawlerVisits; }

    // How the last analysis run ended.
    RunStep lastRunOutcome() const { return m_lastRunOutcome; }
    // The failure the last message was made from; nothing when that message named none.
    const std::optional<Failure>& shownFailure() const { return m_shownFailure; }

    // Closing the window while a run or a report is inside a yield: it stops at its next yield
    // and cleans up; the front end unloads once its handler has returned.
    bool runInProgress() const { return m_run.inProgress; }
    void requestStop() { m_run.stopRequested = true; }
    bool stopRequested() const { return m_run.stopRequested; }

    const std::string& programFolder() const { return m_ports.programFolder; }
    // The program folder, "/" and a name, with no separator handling.
    std::string programPath(std::string_view name) const;

private:
    // Yields once to the event loop. Loops that call it end early when stopRequested() turns
    // true inside the yield, leaving what they wrote whole.
    void DoEvents();
    // A message box with the run's title and an OK button, made from `failure` when there is
    // one.
    void tell(const std::string& prompt, std::optional<Failure> failure = std::nullopt);
    // Done, or LogUnreadable after saying that `path` lies inside the work folder.
    RunStep refuseInWorkFolder(const std::string& path);
    // The visit export of engine `engine` (its place in kCrawlerEngines).
    VisitExport exportVisit(std::size_t engine);
    // The visit of another known crawler, `item`, as one record of the other crawlers' table
    // with the crawler's name (app/VisitExports.cpp). Only during a run.
    VisitExport exportOtherCrawler(std::string_view item, std::string_view crawler);
    // Looks for another known crawler in the user agent of `item`, a line no engine claims,
    // and stores its visit. A search or a store that fails stops the run.
    RunStep scanForOtherCrawler(std::string_view item);
    // Holds the database for the run and hands its writes to a thread of their own.
    RunStep analyseWithTheDatabaseHeld();
    // Analyses the chosen log, or each log of the chosen archive in turn.
    RunStep analyseChosenLog();
    // Cuts one log ahead of the scan and scans its chunks in order.
    RunStep analyseLog();
    // Scans the chunks of one log as `cut` of `source` into `destination` hands them over, each
    // deleted once its records are committed.
    RunStep scanChunksOf(split::CutAhead& cut, const std::string& source,
                         const std::string& destination);
    // What the split command and a run do before the first chunk is cut: the log must exist,
    // the work folder be made empty, the window yield once.
    RunStep prepareSplit();
    // The log the split reads for the path `source`: the archive member in hand, or the file.
    logs::LogEntry logToCut(const std::string& source) const;
    // A cut of `source` into the chunk files `destination`.000, .001, …
    [[nodiscard]] Expected<split::ChunkCutter> openCut(const std::string& source,
                                                       const std::string& destination,
                                                       std::int32_t chunkBuffers,
                                                       std::int32_t bufferBytes);
    // Says why the cut of `source` into `destination` stopped, unless it was asked to.
    RunStep splitStopped(const Failure& failure, const std::string& source,
                         const std::string& destination);
    // One item of a chunk: classify, count, export, yield. A visit that cannot be stored stops
    // the run here, as abandonVisits() does.
    RunStep scanItem(const analysis::Item& item);
    // Ends the log in hand: its held unfinished line is scanned as a line of its own, and what
    // the chunk stored is committed.
    RunStep finishLog();
    // Commits the records stored so far; on a refusal drops them and says so.
    RunStep commitVisits();
    // Deletes the scanned chunk `name` once the writer has done its commit number `commit`; a
    // refused commit stops the run as commitVisits() would have.
    RunStep deleteOnceCommitted(const std::string& name, std::uint64_t commit);
    // Drops the records stored since the last commit and says why the run stops.
    RunStep abandonVisits(const Failure& failure);
    void rollbackVisits();
    // Makes the crawler report on a thread of its own, the window kept live, and writes it to
    // the first of `targets` that takes it: which one, or nothing when it failed (its message
    // shown) or was stopped.
    struct ReportOutcome {
        RunStep step = RunStep::Done;
        std::string written;
    };
    ReportOutcome makeCrawlerReport(std::vector<std::string> targets);

    PlatformPorts m_ports;
    RunState m_run;
    RunStep m_lastRunOutcome = RunStep::Done;
    std::uint64_t m_otherCrawlerVisits = 0;
    std::optional<Failure> m_shownFailure;
    std::optional<std::string> m_rangeFolder;
    std::optional<dns::ServerAddress> m_dnsServer;
    bool m_reportInProgress = false;
    ReportProgress m_reportProgress;
};

} // namespace trawlmeter
