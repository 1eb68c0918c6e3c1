#include "app/MainForm.h"

#include "split/ChunkSplitter.h"

namespace trawlmeter {

void MainForm::FileSplit(const std::string& SourceFile, const std::string& DestinationFile,
                         std::int32_t ChunkSize, std::int32_t BufferSize,
                         FinishMessage ShowFinishMessage) {
    split::ChunkSplitter splitter(DestinationFile, [this] {
        DoEvents();
        return !m_stopRequested;
    });
    // A source that cannot be split leaves no chunk of its own; the list then shows whatever
    // the work folder holds, as after any split.
    splitter.split(SourceFile, ChunkSize, BufferSize);
    if (ShowFinishMessage == FinishMessage::Show) {
        CmdGetiisFile_Click();
    }
}

} // namespace trawlmeter
