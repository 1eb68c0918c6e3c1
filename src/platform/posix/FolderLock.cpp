#include "platform/FolderLock.h"

namespace trawlmeter {

Expected<FolderLock> FolderLock::tryLock(const std::string& folder) {
    auto opened = File::openFolder(folder);
    if (!opened) {
        return tl::unexpected(opened.error());
    }
    if (auto locked = opened->tryLock(); !locked) {
        return tl::unexpected(locked.error());
    }
    return FolderLock(std::move(*opened));
}

} // namespace trawlmeter
