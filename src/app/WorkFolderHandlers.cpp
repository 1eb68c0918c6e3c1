#include "app/MainForm.h"

#include "app/RunMessages.h"
#include "platform/FileSystem.h"
#include "split/ChunkNames.h"
#include "split/WorkFolder.h"

namespace trawlmeter {

RunStep MainForm::CmdCreateTemp_Click() {
    std::string blocking;
    if (const auto error =
            split::prepareWorkFolder(split::workFolderPath(programFolder()), blocking)) {
        tell(messages::workFolderUnusable(blocking, error.message()));
        return RunStep::Failed;
    }
    return RunStep::Done;
}

std::error_code MainForm::CmdDeleteTemp_Click() {
    const std::string folder = split::workFolderPath(programFolder());
    // A link or a file of that name is not the run's to delete.
    if (!fs::FolderExists(folder) || fs::IsLink(folder)) {
        return {};
    }
    // What cannot be deleted (a write-protected file) stays for the next run to remove.
    return fs::DeleteFolder(folder);
}

} // namespace trawlmeter
