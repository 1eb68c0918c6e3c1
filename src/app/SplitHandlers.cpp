#include "app/MainForm.h"

#include "app/RunMessages.h"
#include "platform/FileSystem.h"
#include "split/ChunkNames.h"
#include "split/ChunkSplitter.h"
#include "logs/LogReader.h"

#include <filesystem>
#include <system_error>

namespace trawlmeter {
namespace {
constexpr std::int32_t kBuffersPerChunk = 2048;
constexpr std::int32_t kBufferBytes = 1024;
} // namespace

RunStep MainForm::CmdFileSplit_Click() {
    // A folder, a device or a fifo exists but is no log: the split says why it cannot read it.
    if (!fs::PathExists(TxtrezOveFile.Text())) {
        tell(messages::kLogMissing);
        return RunStep::LogMissing;
    }
    Label2.setCaption("正在分割...");
    if (const RunStep prepared = CmdCreateTemp_Click(); prepared != RunStep::Done) {
        return prepared;
    }
    DoEvents();
    if (m_run.stopRequested) {
        return RunStep::Stopped;
    }
    // Read again: a log chosen inside the yield is the one split. Copied, because the path box
    // may change again while the split yields.
    const std::string source = TxtrezOveFile.Text();
    if (const RunStep split = FileSplit(source, split::chunkBasePath(programFolder()),
                                        kBuffersPerChunk, kBufferBytes, FinishMessage::Show);
        split != RunStep::Done) {
        return split;
    }
    TxtLstiisFileCnt.setText(std::to_string(LstiisFile.ListCount()));
    Label2.setCaption("分割完成，共分成 " + TxtLstiisFileCnt.Text() + " 个临时日志文件");
    return RunStep::Done;
}

RunStep MainForm::FileSplit(const std::string& SourceFile, const std::string& DestinationFile,
                            std::int32_t ChunkSize, std::int32_t BufferSize,
                            FinishMessage ShowFinishMessage) {
    split::ChunkSplitter splitter(DestinationFile, m_ports.fileWrites, [this] {
        DoEvents();
        return !m_run.stopRequested;
    });
    // A compressed log, or the archive member the run has in hand, is cut as it is inflated.
    const logs::LogEntry log = m_run.log && m_run.log->path == SourceFile
                                   ? *m_run.log
                                   : logs::LogEntry{SourceFile, {}, -1};
    tl::expected<std::int64_t, split::SplitFailure> chunks;
    if (logs::logKindOf(SourceFile) == logs::LogKind::Plain) {
        chunks = splitter.split(SourceFile, ChunkSize, BufferSize);
    } else if (auto reader = logs::LogReader::open(log)) {
        chunks = splitter.split(*reader, ChunkSize, BufferSize);
    } else {
        chunks = tl::unexpected(split::SplitFailure{split::SplitFailure::Kind::SourceUnreadable,
                                                    reader.error().reason});
    }
    m_run.chunksWritten = chunks.value_or(0);
    if (!chunks) {
        const auto& reason = chunks.error().reason;
        switch (chunks.error().kind) {
        case split::SplitFailure::Kind::Stopped:
            return RunStep::Stopped;
        case split::SplitFailure::Kind::SourceUnreadable:
            tell(messages::logUnreadable(log.label(), reason));
            return RunStep::LogUnreadable;
        case split::SplitFailure::Kind::InvalidSizes:
        case split::SplitFailure::Kind::ChunkUnwritable:
            break;
        }
        tell(messages::splitFailed(std::filesystem::path(DestinationFile).parent_path().string(),
                                   reason));
        return RunStep::Failed;
    }
    if (ShowFinishMessage == FinishMessage::Show) {
        CmdGetiisFile_Click();
    }
    return RunStep::Done;
}

void MainForm::CmdGetiisFile_Click() {
    LstiisFile.Clear();
    // A missing work folder lists nothing; a listing cut short keeps the names it found, and
    // the run then misses a chunk and says so.
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
