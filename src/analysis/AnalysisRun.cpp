#include "app/MainForm.h"

#include "analysis/ChunkSequenceScan.h"
#include "platform/FileSystem.h"

namespace trawlmeter {

void MainForm::CmdAnalysis_Click() {
    CmdAnalysis.setEnabled(false);
    m_runInProgress = true;
    m_stopRequested = false;

    // A missing log is reported by the split command; the run then walks the list as it is.
    CmdFileSplit_Click();
    (void)LstiisFile.setListIndex(0);

    const std::int64_t passes = LstiisFile.ListCount();
    // Lines that straddle two chunks are joined; each run starts from the standard layout.
    analysis::ChunkSequenceScan chunks(*this);
    for (std::int64_t pass = 0; pass < passes && !m_stopRequested; ++pass) {
        Label3.setCaption("正在分析第 " + std::to_string(LstiisFile.ListIndex() + 1) +
                          " 个临时日志文件");
        TxtFileName.setText(LstiisFile.Text());
        ScanLogChunk(TxtFileName.Text());
        // A chunk that will not go (write-protected) stays until the work folder is removed.
        (void)fs::DeleteFile(programFolder() + "/temp/" + TxtFileName.Text());
        // Past the last entry this fails and the selection stays on the last one.
        (void)LstiisFile.setListIndex(LstiisFile.ListIndex() + 1);
    }
    // A run stopped by closing the window drops the unfinished line instead of storing half of it.
    if (!m_stopRequested) {
        chunks.finish();
    }
    chunks.end();
    if (VisitDb) {
        (void)VisitDb->commit();
    }

    Label3.setCaption("分析完成");
    Label2.setCaption("临时日志文件已删除");
    CmdDeleteTemp_Click();
    CmdAnalysis.setEnabled(true);
    m_runInProgress = false;
}

} // namespace trawlmeter
