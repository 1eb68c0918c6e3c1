#include "platform/FolderLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace trawlmeter {

tl::expected<FolderLock, std::error_code> FolderLock::tryLock(const std::string& folder) {
    // The folder itself carries the lock: nothing is written, so a read-only folder locks too.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return tl::unexpected(std::error_code(errno, std::generic_category()));
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const std::error_code error =
            errno == EWOULDBLOCK ? std::make_error_code(std::errc::resource_unavailable_try_again)
                                 : std::error_code(errno, std::generic_category());
        ::close(fd);
        return tl::unexpected(error);
    }
    return FolderLock(fd);
}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

FolderLock::~FolderLock() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

} // namespace trawlmeter
