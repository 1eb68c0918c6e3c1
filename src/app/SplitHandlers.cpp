#include "app/MainForm.h"

#include "app/Messages.h"
#include "logs/LogReader.h"
#include "platform/FileSystem.h"
#include "platform/Problem.h"
#include "split/ChunkNames.h"
#include "split/ChunkPlan.h"
#include "split/ChunkSplitter.h"
#include "platform/PathText.h"

#include <filesystem>

namespace trawlmeter {

RunStep MainForm::CmdFileSplit_Click() {
    if (const RunStep prepared = prepareSplit(); prepared != RunStep::Done) {
        return prepared;
    }
    // Read again: a log chosen inside the yield is the one split. Copied, because the path box
    // may change again while the split yields.
    const std::string source = TxtrezOveFile.Text();
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

RunStep MainForm::prepareSplit() {
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
    // A log chosen inside the yield may lie in the work folder the run removes when it ends.
    return refuseInWorkFolder(TxtrezOveFile.Text());
}

logs::LogEntry MainForm::logToCut(const std::string& source) const {
    // A compressed log, or the archive member the run has in hand, is cut as it is inflated.
    return m_run.log && m_run.log->path == source ? *m_run.log : logs::LogEntry{source, {}, -1};
}

Expected<split::ChunkCutter> MainForm::openCut(const std::string& source,
                                               const std::string& destination,
                                               std::int32_t chunkBuffers,
                                               std::int32_t bufferBytes) {
    if (logs::logKindOf(source) == logs::LogKind::Plain) {
        return split::ChunkCutter::ofFile(source, destination, m_ports.fileWrites, chunkBuffers,
                                          bufferBytes);
    }
    const logs::LogEntry log = logToCut(source);
    // The members of the archive in hand are read through its one opening.
    auto reader = m_run.members && m_run.members->path() == log.path && log.memberIndex >= 0
                      ? m_run.members->open(log)
                      : logs::LogReader::open(log);
    if (!reader) {
        return tl::unexpected(reader.error());
    }
    return split::ChunkCutter::ofLog(std::move(*reader), destination, m_ports.fileWrites,
                                     chunkBuffers, bufferBytes);
}

RunStep MainForm::splitStopped(const Failure& failure, const std::string& source,
                               const std::string& destination) {
    if (failure.code == Problem::Stopped) {
        return RunStep::Stopped;
    }
    // Some of the run was analysed and committed before the cut failed: the message says so.
    const auto earlier = m_run.inProgress && m_run.itemsCounted > 0
                             ? messages::EarlierRecords::Kept
                             : messages::EarlierRecords::None;
    // A failure that concerns the log is the log's; any other is the work folder's.
    if (failure.subject == logToCut(source).label()) {
        tell(messages::logUnreadable(failure, earlier), failure);
        return RunStep::LogUnreadable;
    }
    tell(messages::splitFailed(utf8FromPath(pathFromUtf8(destination).parent_path()), failure,
                               earlier),
         failure);
    return RunStep::Failed;
}

RunStep MainForm::FileSplit(const std::string& SourceFile, const std::string& DestinationFile,
                            std::int32_t ChunkSize, std::int32_t BufferSize,
                            FinishMessage ShowFinishMessage) {
    split::ChunkSplitter splitter([this] {
        DoEvents();
        return !m_run.stopRequested;
    });
    auto cutter = openCut(SourceFile, DestinationFile, ChunkSize, BufferSize);
    if (!cutter) {
        return splitStopped(cutter.error(), SourceFile, DestinationFile);
    }
    if (auto chunks = splitter.split(*cutter); !chunks) {
        return splitStopped(chunks.error(), SourceFile, DestinationFile);
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
