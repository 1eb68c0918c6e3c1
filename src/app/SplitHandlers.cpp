#include "app/MainForm.h"

#include "app/Messages.h"
#include "logs/LogReader.h"
#include "platform/FileSystem.h"
#include "platform/Problem.h"
#include "split/ChunkNames.h"
#include "split/ChunkPlan.h"
#include "split/ChunkSplitter.h"

#include <filesystem>

namespace trawlmeter {

RunStep MainForm::CmdFileSplit_Click() {
    // A folder, a device or a fifo exists but is no log: the split says why it cannot read it.
    if (!fs::PathExists(TxtrezOveFile.Text())) {
        tell(messages::kLogMissing);
        return RunStep::LogMissing;
    }
    // Emptying the work folder would delete a log that lies in it before it is read.
    if (const RunStep outside = refuseInWorkFolder(TxtrezOveFile.Text());
        outside != RunStep::Done) {
        return outside;
    }
    Label2.setCaption(messages::kSplitting);
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
    // The run removes the work folder when it ends.
    if (const RunStep outside = refuseInWorkFolder(source); outside != RunStep::Done) {
        return outside;
    }
    if (const RunStep split =
            FileSplit(source, split::chunkBasePath(programFolder()), split::kRunChunkBuffers,
                      split::kRunBufferBytes, FinishMessage::Show);
        split != RunStep::Done) {
        return split;
    }
    TxtLstiisFileCnt.setText(std::to_string(LstiisFile.ListCount()));
    Label2.setCaption(messages::splitDone(TxtLstiisFileCnt.Text()));
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
    Expected<std::int64_t> chunks;
    if (logs::logKindOf(SourceFile) == logs::LogKind::Plain) {
        chunks = splitter.split(SourceFile, ChunkSize, BufferSize);
    } else if (auto reader =
                   m_run.members && m_run.members->path() == log.path && log.memberIndex >= 0
                       ? m_run.members->open(log)
                       : logs::LogReader::open(log)) {
        chunks = splitter.split(*reader, ChunkSize, BufferSize);
    } else {
        chunks = tl::unexpected(reader.error());
    }
    m_run.chunksWritten = chunks.value_or(0);
    if (!chunks) {
        const Failure& failure = chunks.error();
        if (failure.code == Problem::Stopped) {
            return RunStep::Stopped;
        }
        // A failure that concerns the log is the log's; any other is the work folder's.
        if (failure.subject == log.label()) {
            tell(messages::logUnreadable(failure), failure);
            return RunStep::LogUnreadable;
        }
        tell(messages::splitFailed(std::filesystem::path(DestinationFile).parent_path().string(),
                                   failure),
             failure);
        return RunStep::Failed;
    }
    if (ShowFinishMessage == FinishMessage::Show) {
        CmdGetiisFile_Click();
    }
    return RunStep::Done;
}

void MainForm::CmdGetiisFile_Click() {
    LstiisFile.Clear();
    // A work folder that is missing or cannot be listed lists nothing: a run then misses its
    // chunks and says so.
    std::vector<std::string> names =
        fs::ListFiles(split::workFolderPath(programFolder())).value_or(std::vector<std::string>());
    split::sortInSplitOrder(names);
    for (auto& name : names) {
        LstiisFile.AddItem(std::move(name));
    }
    // Fails without effect on an empty list.
    (void)LstiisFile.setListIndex(0);
}

} // namespace trawlmeter
