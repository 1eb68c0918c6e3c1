#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/Failure.h"

namespace trawlmeter {

// One open file or folder, closed when the object goes: the program's only owner of the
// system's file handles. A failure names the path the file was opened by.
class File {
public:
    File() = default;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    // Closes without a word: a close whose outcome matters goes through close().
    ~File();

    // Opens an existing file for reading from its first byte. Never waits, not even for a pipe
    // without a writer.
    [[nodiscard]] static Expected<File> openForReading(const std::string& path);
    // The same for a regular file only: a folder is refused as such
    // (std::errc::is_a_directory), a device or a pipe as Problem::NotARegularFile.
    [[nodiscard]] static Expected<File> openRegularForReading(const std::string& path);
    // Opens `path` for writing as an empty plain file. An existing plain file is truncated; a
    // link, a second name of another file or a pipe at that name is removed and a new file made,
    // so nothing is ever written through to a file elsewhere. Refuses what cannot be made (no
    // folder, no right, a write-protected file: such a file is not forced).
    [[nodiscard]] static Expected<File> createEmpty(const std::string& path);
    // Makes a new file at `path`, which must not exist yet (std::errc::file_exists); its rights
    // are left to the user's file-creation mask, as for any new file.
    [[nodiscard]] static Expected<File> createNew(const std::string& path);
    // Opens a folder itself, to hold a lock on it.
    [[nodiscard]] static Expected<File> openFolder(const std::string& path);
    // Opens the plain file at `path` to hold a lock on it, making it when there is none; a link
    // there is refused, never followed. Windows locks no folder: a file in it carries the lock.
    [[nodiscard]] static Expected<File> openForLocking(const std::string& path);

    bool isOpen() const { return m_handle != kClosed; }
    // A short name this process can reach the open file (or folder) by however long its path
    // is; empty where the system has none.
    std::string shortName() const;
    const std::string& path() const { return m_path; }

    // The size now.
    [[nodiscard]] Expected<std::int64_t> size() const;
    // Fills `buffer` from the current position as far as the file goes: fewer bytes only at its
    // end, 0 there.
    [[nodiscard]] Expected<std::size_t> read(std::span<char> buffer);
    // Fills `buffer` from `offset` as far as the file goes, the position unmoved.
    [[nodiscard]] Expected<std::size_t> readAt(std::span<char> buffer, std::int64_t offset) const;
    enum class From { Start, Current, End };
    // Moves the position; the new position from the start.
    [[nodiscard]] Expected<std::int64_t> seek(std::int64_t offset, From from);
    // Writes the start of `bytes` at the current position: how many were written, never 0 for
    // a non-empty span (a write that takes nothing is a full disk).
    [[nodiscard]] Expected<std::size_t> writeSome(std::span<const char> bytes);
    // Copies up to `length` bytes from `offset` of this file to the current position of `to`
    // inside the kernel: how many were copied, 0 when this file ends at `offset`. Fails where
    // the system cannot copy between these two files.
    [[nodiscard]] Expected<std::int64_t> copyRangeTo(std::int64_t offset, std::int64_t length,
                                                     File& to) const;
    // Asks the system to start writing the file's data to the disk, without waiting. Only a
    // hint: where the system has no such call, nothing happens.
    void startWriteBack() const;
    // Waits until the file's data is on the disk.
    [[nodiscard]] Expected<void> sync() const;
    // Takes an exclusive lock on the file without waiting, held until it is closed:
    // std::errc::resource_unavailable_try_again when another holder has it.
    [[nodiscard]] Expected<void> tryLock() const;
    // Closes the file; the reason when closing reported an error, which on some file systems is
    // the first sign that written data did not reach the disk. A closed file closes again.
    [[nodiscard]] Expected<void> close();

private:
    // The system's handle: a descriptor here, a HANDLE where the system has those.
    using Handle = std::intptr_t;
    static constexpr Handle kClosed = -1;

    File(Handle handle, std::string path) : m_handle(handle), m_path(std::move(path)) {}
    [[nodiscard]] tl::unexpected<Failure> lastFailure() const;

    Handle m_handle = kClosed;
    std::string m_path;
};

} // namespace trawlmeter
