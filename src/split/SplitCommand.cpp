#include "app/MainForm.h"

#include "platform/FileSystem.h"
#include "split/ChunkNames.h"

#include <system_error>

namespace trawlmeter {
namespace {
constexpr std::int32_t kBuffersPerChunk = 2048;
constexpr std::int32_t kBufferBytes = 1024;
} // namespace

void MainForm::CmdFileSplit_Click() {
    if (!fs::FileExists(TxtrezOveFile.Text())) {
        m_ports.messageBox.showMessage("所选择的日志文件不存在，请重新选择", 0, "提示");
        return;
    }
    Label2.setCaption("正在分割...");
    CmdCreateTemp_Click();
    DoEvents();
    // Read again: a log chosen inside the yield is the one split. Copied, because the path box
    // may change again while the split yields.
    const std::string source = TxtrezOveFile.Text();
    const std::string destination =
        programPath(split::kWorkFolderName) + "/" + std::string(split::kChunkBaseName);
    FileSplit(source, destination, kBuffersPerChunk, kBufferBytes, FinishMessage::Show);
    TxtLstiisFileCnt.setText(std::to_string(LstiisFile.ListCount()));
    Label2.setCaption("分割完成，共分成 " + TxtLstiisFileCnt.Text() + " 个临时日志文件");
}

void MainForm::CmdGetiisFile_Click() {
    LstiisFile.Clear();
    // A missing work folder lists nothing; a listing cut short keeps the names it found.
    std::error_code listError;
    std::vector<std::string> names = fs::ListFiles(programPath(split::kWorkFolderName), listError);
    split::sortInSplitOrder(names);
    for (auto& name : names) {
        LstiisFile.AddItem(std::move(name));
    }
    // Fails without effect on an empty list.
    LstiisFile.setListIndex(0);
}

} // namespace trawlmeter
