#pragma once

#include <tl/expected.hpp>

#include <string>
#include <system_error>
#include <utility>

namespace trawlmeter {

// An exclusive lock on a folder, held across processes while the object lives. The operating
// system drops it with the process, so a crash never leaves it behind.
class FolderLock {
public:
    // Takes the lock without waiting: std::errc::resource_unavailable_try_again when another
    // holder has it, else the reason the folder could not be locked.
    [[nodiscard]] static tl::expected<FolderLock, std::error_code>
    tryLock(const std::string& folder);

    FolderLock(FolderLock&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();

private:
    explicit FolderLock(int fd) : m_fd(fd) {}
    int m_fd;
};

} // namespace trawlmeter
