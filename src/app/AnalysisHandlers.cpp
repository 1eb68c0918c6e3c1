#include "app/MainForm.h"

#include "app/CrawlerEngines.h"
#include "app/RunMessages.h"
#include "platform/FileSystem.h"
#include "platform/FolderLock.h"
#include "split/ChunkNames.h"
#include "split/LogArchive.h"

namespace trawlmeter {
namespace {

constexpr std::string_view kFieldsDirective = "#Fields:";

} // namespace

void MainForm::CmdAnalysis_Click() {
    CmdAnalysis.setEnabled(false);
    // The report reads the database the run holds.
    MnuCrawlerReport.setEnabled(false);
    m_run.inProgress = true;
    m_run.stopRequested = false;
    m_run.fieldLayout = store::FieldLayout::standard();

    // One run at a time per program folder, across processes: a second one touches nothing.
    auto lock = FolderLock::tryLock(programFolder());
    RunStep outcome = RunStep::Failed;
    if (!lock) {
        tell(lock.error() == std::errc::resource_unavailable_try_again
                 ? messages::kAnotherRun
                 : messages::workFolderUnusable(programFolder(), lock.error().message()));
    } else {
        auto locked = VisitDb
                          ? VisitDb->beginExclusiveUse()
                          : tl::expected<void, std::string>(tl::unexpect, "no database is open");
        if (!locked) {
            tell(messages::databaseWriteFailed(locked.error()));
        } else {
            outcome = analyseChosenLog();
        }
        if (VisitDb) {
            if (auto durable = VisitDb->endExclusiveUse(); !durable && outcome != RunStep::Failed) {
                tell(messages::databaseWriteFailed(durable.error()));
                outcome = RunStep::Failed;
            }
        }
        // A run that did not end with its last chunk drops the unfinished line instead of
        // storing half of it.
        m_run.items.reset();
        m_run.fieldLayout = store::FieldLayout::standard();
        Label2.setCaption("临时日志文件已删除");
        // What will not go (a write-protected chunk) stays for the next run to remove.
        (void)CmdDeleteTemp_Click();
    }
    // A missing log ends the run as the split command reported it, with nothing to analyse.
    const bool finished = outcome == RunStep::Done || outcome == RunStep::LogMissing;
    Label3.setCaption(finished ? "分析完成" : "分析未完成");
    m_lastRunOutcome = outcome;
    CmdAnalysis.setEnabled(true);
    MnuCrawlerReport.setEnabled(VisitDb != nullptr);
    m_run.inProgress = false;
}

RunStep MainForm::analyseChosenLog() {
    m_run.log.reset();
    const std::string path = TxtrezOveFile.Text();
    if (split::logKindOf(path) != split::LogKind::Archive || !fs::PathExists(path)) {
        return analyseLog();
    }
    // An archive stands for its logs, analysed one after another as if each had been chosen.
    auto logs = split::listLogs(path);
    if (!logs || logs->empty()) {
        tell(messages::logUnreadable(path, logs ? messages::kNoLogInside : logs.error().reason));
        return RunStep::LogUnreadable;
    }
    // Nothing of an archive is counted unless all of it can be read.
    if (logs->size() > 1) {
        const auto whole = split::verifyLogs(path, [this] {
            DoEvents();
            return !m_run.stopRequested;
        });
        if (!whole) {
            tell(messages::logUnreadable(whole.error().log, whole.error().reason));
            return RunStep::LogUnreadable;
        }
        if (!*whole) {
            return RunStep::Stopped;
        }
    }
    for (auto& log : *logs) {
        m_run.log = std::move(log);
        m_run.fieldLayout = store::FieldLayout::standard();
        if (const RunStep step = analyseLog(); step != RunStep::Done) {
            return step;
        }
    }
    return RunStep::Done;
}

RunStep MainForm::analyseLog() {
    if (const RunStep split = CmdFileSplit_Click(); split != RunStep::Done) {
        return split;
    }
    (void)LstiisFile.setListIndex(0);

    // The list names what the work folder holds; only this split's chunks are read, in order.
    std::int64_t nextChunk = 0;
    const std::int64_t passes = LstiisFile.ListCount();
    for (std::int64_t pass = 0; pass < passes; ++pass) {
        Label3.setCaption("正在分析第 " + std::to_string(LstiisFile.ListIndex() + 1) +
                          " 个临时日志文件");
        TxtFileName.setText(LstiisFile.Text());
        if (nextChunk < m_run.chunksWritten && TxtFileName.Text() == split::chunkName(nextChunk)) {
            if (const RunStep scanned = ScanLogChunk(TxtFileName.Text());
                scanned != RunStep::Done) {
                return scanned;
            }
            ++nextChunk;
            // Its records are committed; one that will not go (write-protected) stays until
            // the work folder is removed.
            (void)fs::DeleteFile(split::chunkPath(programFolder(), TxtFileName.Text()));
        }
        // Past the last entry this fails and the selection stays on the last one.
        (void)LstiisFile.setListIndex(LstiisFile.ListIndex() + 1);
    }
    if (nextChunk < m_run.chunksWritten) {
        const std::string missing = split::chunkPath(programFolder(), split::chunkName(nextChunk));
        tell(messages::chunkUnreadable(
            missing, std::make_error_code(std::errc::no_such_file_or_directory).message()));
        return RunStep::Failed;
    }
    return finishLog();
}

RunStep MainForm::ScanLogChunk(const std::string& name) {
    const std::string path = split::chunkPath(programFolder(), name);
    RunStep step = RunStep::Done;
    const auto end = m_run.items.scan(path, [this, &step](const analysis::Item& item) {
        step = scanItem(item);
        return step == RunStep::Done;
    });
    if (!end) {
        // Its lines would be missing from the counts and the records.
        m_run.items.reset();
        if (VisitDb) {
            VisitDb->rollback();
        }
        tell(messages::chunkUnreadable(path, end.error().message()));
        return RunStep::Failed;
    }
    if (step == RunStep::Failed) {
        return abandonVisits(m_run.storeFailure);
    }
    // Outside a run a chunk ends its own lines.
    if (step == RunStep::Done && !m_run.inProgress) {
        return finishLog();
    }
    // A stopped scan keeps what it stored.
    const RunStep committed = commitVisits();
    return committed != RunStep::Done ? committed : step;
}

RunStep MainForm::scanItem(const analysis::Item& item) {
    if (item.text.starts_with(kFieldsDirective)) {
        m_run.fieldLayout =
            store::FieldLayout::fromFieldNames(item.text.substr(kFieldsDirective.size()));
    }
    if (item.token >= 0) {
        const CrawlerEngine& row = kCrawlerEngines[static_cast<std::size_t>(item.token)];
        raiseCounter(this->*row.counter);
        TxtContent.setText(std::string(item.text));
        if (auto stored = (this->*row.visitExport)(); !stored) {
            m_run.storeFailure = std::move(stored.error());
            return RunStep::Failed;
        }
    }
    raiseCounter(TxtLineCnt);
    DoEvents();
    return m_run.stopRequested ? RunStep::Stopped : RunStep::Done;
}

RunStep MainForm::finishLog() {
    if (const auto item = m_run.items.finish()) {
        if (scanItem(*item) == RunStep::Failed) {
            return abandonVisits(m_run.storeFailure);
        }
    }
    return commitVisits();
}

RunStep MainForm::commitVisits() {
    if (!VisitDb) {
        return RunStep::Done;
    }
    if (auto committed = VisitDb->commit(); !committed) {
        return abandonVisits(committed.error());
    }
    return RunStep::Done;
}

RunStep MainForm::abandonVisits(const std::string& reason) {
    m_run.items.reset();
    if (VisitDb) {
        VisitDb->rollback();
    }
    tell(messages::databaseWriteFailed(reason));
    return RunStep::Failed;
}

} // namespace trawlmeter
