#pragma once

#include <unistd.h>

#include <utility>

namespace trawlmeter {

// Owns one open file descriptor and closes it once.
class FileHandle {
public:
    explicit FileHandle(int fd) : m_fd(fd) {}
    FileHandle(FileHandle&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            close();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { close(); }

    int fd() const { return m_fd; }

    // False when the descriptor was open and closing it reported an error, which on some
    // file systems is the first sign that written data did not reach the disk.
    bool close() {
        if (m_fd < 0) {
            return true;
        }
        return ::close(std::exchange(m_fd, -1)) == 0;
    }

private:
    int m_fd;
};

} // namespace trawlmeter
