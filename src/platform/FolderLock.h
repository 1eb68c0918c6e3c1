#pragma once

#include <string>

#include "platform/Failure.h"
#include "platform/File.h"

namespace trawlmeter {

// An exclusive lock on a folder, held across processes while the object lives. The operating
// system drops it with the process, so a crash never leaves it behind.
class FolderLock {
public:
    // Takes the lock without waiting: std::errc::resource_unavailable_try_again when another
    // holder has it, else the reason the folder could not be locked.
    [[nodiscard]] static Expected<FolderLock> tryLock(const std::string& folder);

private:
    explicit FolderLock(File folder) : m_folder(std::move(folder)) {}
    // The folder itself carries the lock: nothing is written, so a read-only folder locks too.
    File m_folder;
};

} // namespace trawlmeter
