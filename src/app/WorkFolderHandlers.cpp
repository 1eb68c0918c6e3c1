#include "app/MainForm.h"

#include "app/Messages.h"
#include "platform/FileSystem.h"
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

} // namespace trawlmeter
