#include "app/MainForm.h"

#include "platform/FileSystem.h"

namespace trawlmeter {

void MainForm::CmdAnalysis_Click() {
    CmdAnalysis.setEnabled(false);
    m_runInProgress = true;
    m_stopRequested = false;
    // Each run reads its log from the standard layout on until a "#Fields:" line says otherwise.
    m_scan.fieldLayout = store::FieldLayout::standard();
    m_scan.holdTail = true;

    // A missing log is reported by the split command; the run then walks the list as it is.
    CmdFileSplit_Click();
    (void)LstiisFile.setListIndex(0);

    const std::int64_t passes = LstiisFile.ListCount();
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
        flushHeldLine();
    }
    m_scan = analysis::ScanState{};
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
