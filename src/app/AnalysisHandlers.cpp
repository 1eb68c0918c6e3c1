#include "app/MainForm.h"

#include "app/CrawlerEngines.h"
#include "platform/FileSystem.h"
#include "split/ChunkNames.h"

namespace trawlmeter {
namespace {

constexpr std::string_view kFieldsDirective = "#Fields:";

void commitVisits(db::Database* database) {
    // A refused commit leaves the records in the open transaction; closing tries again.
    if (database) {
        (void)database->commit();
    }
}

} // namespace

void MainForm::CmdAnalysis_Click() {
    CmdAnalysis.setEnabled(false);
    m_run.inProgress = true;
    m_run.stopRequested = false;
    m_run.fieldLayout = store::FieldLayout::standard();

    // A missing log is reported by the split command; the run then walks the list as it is.
    CmdFileSplit_Click();
    (void)LstiisFile.setListIndex(0);

    const std::int64_t passes = LstiisFile.ListCount();
    for (std::int64_t pass = 0; pass < passes && !m_run.stopRequested; ++pass) {
        Label3.setCaption("正在分析第 " + std::to_string(LstiisFile.ListIndex() + 1) +
                          " 个临时日志文件");
        TxtFileName.setText(LstiisFile.Text());
        ScanLogChunk(TxtFileName.Text());
        // A chunk that will not go (write-protected) stays until the work folder is removed.
        (void)fs::DeleteFile(split::chunkPath(programFolder(), TxtFileName.Text()));
        // Past the last entry this fails and the selection stays on the last one.
        (void)LstiisFile.setListIndex(LstiisFile.ListIndex() + 1);
    }
    // A run stopped by closing the window drops the unfinished line instead of storing half of it.
    if (m_run.stopRequested) {
        m_run.items.reset();
    } else {
        finishLog();
    }
    m_run.fieldLayout = store::FieldLayout::standard();
    commitVisits(VisitDb.get());

    Label3.setCaption("分析完成");
    Label2.setCaption("临时日志文件已删除");
    CmdDeleteTemp_Click();
    CmdAnalysis.setEnabled(true);
    m_run.inProgress = false;
}

void MainForm::ScanLogChunk(const std::string& name) {
    const auto end = m_run.items.scan(split::chunkPath(programFolder(), name),
                                      [this](std::string_view item) { return scanItem(item); });
    // When a chunk cannot be opened or read, the line it would have continued is lost with it:
    // the held part is a line of its own. Outside a run a chunk ends its lines.
    if (end == analysis::ChunkScanEnd::Unreadable ||
        (end == analysis::ChunkScanEnd::Read && !m_run.inProgress)) {
        finishLog();
    }
    commitVisits(VisitDb.get());
}

bool MainForm::scanItem(std::string_view item) {
    if (item.starts_with(kFieldsDirective)) {
        m_run.fieldLayout =
            store::FieldLayout::fromFieldNames(item.substr(kFieldsDirective.size()));
    }
    const int engine = kCrawlerTokenSearch.find(item);
    if (engine >= 0) {
        const CrawlerEngine& row = kCrawlerEngines[static_cast<std::size_t>(engine)];
        raiseCounter(this->*row.counter);
        TxtContent.setText(std::string(item));
        (this->*row.visitExport)();
    }
    raiseCounter(TxtLineCnt);
    DoEvents();
    return !m_run.stopRequested;
}

void MainForm::finishLog() {
    const auto item = m_run.items.finish();
    if (item && !scanItem(*item)) {
        m_run.items.reset();
    }
}

} // namespace trawlmeter
