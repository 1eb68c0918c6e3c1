#include "app/MainForm.h"

#include "platform/FileSystem.h"
#include "split/ChunkNames.h"
#include "split/ChunkSplitter.h"

#include <system_error>

namespace trawlmeter {
namespace {
constexpr std::int32_t kBuffersPerChunk = 2048;
constexpr std::int32_t kBufferBytes = 1024;
} // namespace

void MainForm::CmdFileSplit_Click() {
    if (!fs::FileExists(TxtrezOveFile.Text())) {
        m_ports.messageBox.showMessage("所选择的日志文件不存在，请重新选择", kOkOnly, "提示");
        return;
    }
    Label2.setCaption("正在分割...");
    CmdCreateTemp_Click();
    DoEvents();
    // Read again: a log chosen inside the yield is the one split. Copied, because the path box
    // may change again while the split yields.
    const std::string source = TxtrezOveFile.Text();
    FileSplit(source, split::chunkBasePath(programFolder()), kBuffersPerChunk, kBufferBytes,
              FinishMessage::Show);
    TxtLstiisFileCnt.setText(std::to_string(LstiisFile.ListCount()));
    Label2.setCaption("分割完成，共分成 " + TxtLstiisFileCnt.Text() + " 个临时日志文件");
}

void MainForm::FileSplit(const std::string& SourceFile, const std::string& DestinationFile,
                         std::int32_t ChunkSize, std::int32_t BufferSize,
                         FinishMessage ShowFinishMessage) {
    split::ChunkSplitter splitter(DestinationFile, [this] {
        DoEvents();
        return !m_run.stopRequested;
    });
    // A source that cannot be split leaves no chunk of its own; the list then shows whatever
    // the work folder holds, as after any split.
    (void)splitter.split(SourceFile, ChunkSize, BufferSize);
    if (ShowFinishMessage == FinishMessage::Show) {
        CmdGetiisFile_Click();
    }
}

void MainForm::CmdGetiisFile_Click() {
    LstiisFile.Clear();
    // A missing work folder lists nothing; a listing cut short keeps the names it found.
    std::error_code listError;
    std::vector<std::string> names =
        fs::ListFiles(split::workFolderPath(programFolder()), listError);
    split::sortInSplitOrder(names);
    for (auto& name : names) {
        LstiisFile.AddItem(std::move(name));
    }
    // Fails without effect on an empty list.
    (void)LstiisFile.setListIndex(0);
}

} // namespace trawlmeter
