#include "app/MainForm.h"

#include "app/Messages.h"
#include "platform/FileSystem.h"
#include "platform/Problem.h"
#include "split/ChunkNames.h"

namespace trawlmeter {

RunStep MainForm::CmdCreateTemp_Click() {
    // What an interrupted run left there goes; a link or a file in its place is refused.
    if (auto prepared = fs::MakeEmptyFolder(split::workFolderPath(programFolder())); !prepared) {
        tell(messages::workFolderUnusable(prepared.error()), prepared.error());
        return RunStep::Failed;
    }
    return RunStep::Done;
}

Expected<void> MainForm::CmdDeleteTemp_Click() {
    const std::string folder = split::workFolderPath(programFolder());
    // A link or a file of that name is not the run's to delete.
    if (!fs::FolderExists(folder) || fs::IsLink(folder)) {
        return {};
    }
    // What cannot be deleted (a write-protected file) stays for the next run to remove.
    return fs::DeleteFolder(folder);
}

Expected<void> MainForm::outsideWorkFolder(const std::string& path) const {
    const std::string folder = split::workFolderPath(programFolder());
    if (fs::LiesWithin(path, folder)) {
        return fail(Problem::InWorkFolder, path, folder);
    }
    return {};
}

RunStep MainForm::refuseInWorkFolder(const std::string& path) {
    if (auto outside = outsideWorkFolder(path); !outside) {
        m_run.keepWorkFolder = true;
        tell(messages::logInWorkFolder(outside.error()), outside.error());
        return RunStep::LogUnreadable;
    }
    return RunStep::Done;
}

} // namespace trawlmeter
