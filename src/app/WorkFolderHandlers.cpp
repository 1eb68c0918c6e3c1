#include "app/MainForm.h"

#include "platform/FileSystem.h"
#include "split/ChunkNames.h"

namespace trawlmeter {

void MainForm::CmdCreateTemp_Click() {
    const std::string folder = split::workFolderPath(programFolder());
    if (fs::FolderExists(folder)) {
        return;
    }
    // Fails when a plain file holds the name or the program folder is closed to writing; the
    // split then writes no chunk.
    (void)fs::CreateFolder(folder);
}

void MainForm::CmdDeleteTemp_Click() {
    const std::string folder = split::workFolderPath(programFolder());
    if (!fs::FolderExists(folder)) {
        return;
    }
    // What cannot be deleted (a write-protected file) stays for the next deletion to retry.
    (void)fs::DeleteFolder(folder);
}

} // namespace trawlmeter
