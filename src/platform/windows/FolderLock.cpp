#include "platform/FolderLock.h"

#include "platform/PathText.h"

namespace trawlmeter {
namespace {

// Windows locks no folder: this file in it carries the lock. It stays between runs, since
// removing it could let two runs hold locks on two files of one name.
constexpr std::string_view kLockFileName = "trawlmeter.lock";

} // namespace

Expected<FolderLock> FolderLock::tryLock(const std::string& folder) {
    auto opened = File::openForLocking(joinPath(folder, kLockFileName));
    if (!opened) {
        return tl::unexpected(opened.error());
    }
    if (auto locked = opened->tryLock(); !locked) {
        return tl::unexpected(locked.error());
    }
    return FolderLock(std::move(*opened));
}

} // namespace trawlmeter
