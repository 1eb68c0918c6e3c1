#include "platform/File.h"

#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

#include <windows.h>

#include "platform/Problem.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsError.h"

namespace trawlmeter {
namespace {

// Another program may go on writing, renaming or deleting a log while it is read: IIS keeps
// the log of the day open for writing. The program's own files share reading and writing
// only, so that a file of its own that it deleted while it was still open would be refused
// instead of lingering.
constexpr DWORD kShareWithOthers = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kShareOwn = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Reads and writes go in pieces a DWORD can count.
constexpr std::size_t kLargestPiece = std::size_t{1} << 30;

HANDLE handleOf(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::intptr_t valueOf(HANDLE handle) {
    return reinterpret_cast<std::intptr_t>(handle);
}

DWORD pieceOf(std::size_t size) {
    return static_cast<DWORD>(std::min(size, kLargestPiece));
}

HANDLE openHandle(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                  DWORD flags) {
    return CreateFileW(windows::widePath(path).c_str(), access, share, nullptr, disposition, flags,
                       nullptr);
}

Expected<BY_HANDLE_FILE_INFORMATION> informationOf(HANDLE handle, const std::string& path) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle, &information)) {
        return windows::lastFailure(path);
    }
    return information;
}

} // namespace

File::File(File&& other) noexcept
    : m_handle(std::exchange(other.m_handle, kClosed)), m_path(std::move(other.m_path)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        (void)close();
        m_handle = std::exchange(other.m_handle, kClosed);
        m_path = std::move(other.m_path);
    }
    return *this;
}

File::~File() {
    (void)close();
}

tl::unexpected<Failure> File::lastFailure() const {
    return windows::lastFailure(m_path);
}

Expected<File> File::openForReading(const std::string& path) {
    // A folder opens too, as on other systems, and is then refused as one.
    const HANDLE handle = openHandle(path, GENERIC_READ, kShareOwn, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN);
    if (handle == INVALID_HANDLE_VALUE) {
        return windows::lastFailure(path);
    }
    File file(valueOf(handle), path);
    const auto information = informationOf(handle, path);
    if (!information) {
        return tl::unexpected(information.error());
    }
    if (information->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        return fail(std::make_error_code(std::errc::is_a_directory), path);
    }
    return file;
}

Expected<File> File::openRegularForReading(const std::string& path) {
    const HANDLE handle = openHandle(path, GENERIC_READ, kShareWithOthers, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN);
    if (handle == INVALID_HANDLE_VALUE) {
        return windows::lastFailure(path);
    }
    File file(valueOf(handle), path);
    const auto information = informationOf(handle, path);
    if (!information) {
        return tl::unexpected(information.error());
    }
    if (information->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        return fail(std::make_error_code(std::errc::is_a_directory), path);
    }
    // A console, a printer or a pipe opened by name.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        return fail(Problem::NotARegularFile, path);
    }
    return file;
}

Expected<File> File::createEmpty(const std::string& path) {
    // A link is opened as itself, so that what it points to is never written.
    const HANDLE handle = openHandle(path, GENERIC_WRITE, kShareOwn, OPEN_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
    if (handle == INVALID_HANDLE_VALUE) {
        return windows::lastFailure(path);
    }
    File file(valueOf(handle), path);
    const auto information = informationOf(handle, path);
    if (!information) {
        return tl::unexpected(information.error());
    }
    // Anything but a plain file with this one name is replaced, not written through.
    if ((information->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        information->nNumberOfLinks != 1 || GetFileType(handle) != FILE_TYPE_DISK) {
        (void)file.close();
        if (!DeleteFileW(windows::widePath(path).c_str())) {
            return windows::lastFailure(path);
        }
        return createNew(path);
    }
    if ((information->nFileSizeHigh != 0 || information->nFileSizeLow != 0) &&
        !SetEndOfFile(handle)) {
        return file.lastFailure();
    }
    return file;
}

Expected<File> File::createNew(const std::string& path) {
    const HANDLE handle = openHandle(path, GENERIC_WRITE, kShareOwn, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
    if (handle == INVALID_HANDLE_VALUE) {
        return windows::lastFailure(path);
    }
    return File(valueOf(handle), path);
}

Expected<File> File::openFolder(const std::string& path) {
    const HANDLE handle =
        openHandle(path, GENERIC_READ, kShareWithOthers, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (handle == INVALID_HANDLE_VALUE) {
        return windows::lastFailure(path);
    }
    File folder(valueOf(handle), path);
    const auto information = informationOf(handle, path);
    if (!information) {
        return tl::unexpected(information.error());
    }
    if (!(information->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return fail(std::make_error_code(std::errc::not_a_directory), path);
    }
    return folder;
}

Expected<File> File::openForLocking(const std::string& path) {
    // Hidden: it is the program's, not the operator's. Shared for reading and writing only, so
    // that the lock's file cannot be deleted while a run holds it.
    const HANDLE handle = openHandle(path, GENERIC_READ | GENERIC_WRITE, kShareOwn, OPEN_ALWAYS,
                                     FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT);
    if (handle == INVALID_HANDLE_VALUE) {
        return windows::lastFailure(path);
    }
    File file(valueOf(handle), path);
    const auto information = informationOf(handle, path);
    if (!information) {
        return tl::unexpected(information.error());
    }
    if (information->dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
        return fail(Problem::NotARegularFile, path);
    }
    return file;
}

Expected<std::int64_t> File::size() const {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handleOf(m_handle), &size)) {
        return lastFailure();
    }
    return size.QuadPart;
}

Expected<std::size_t> File::read(std::span<char> buffer) {
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        DWORD got = 0;
        if (!ReadFile(handleOf(m_handle), buffer.data() + filled, pieceOf(buffer.size() - filled),
                      &got, nullptr)) {
            // A pipe whose writer is gone has ended.
            if (GetLastError() == ERROR_BROKEN_PIPE) {
                break;
            }
            return lastFailure();
        }
        if (got == 0) {
            break;
        }
        filled += got;
    }
    return filled;
}

Expected<std::size_t> File::readAt(std::span<char> buffer, std::int64_t offset) const {
    // A read at an offset moves the position of a handle like this one; it is put back after.
    LARGE_INTEGER position{};
    if (!SetFilePointerEx(handleOf(m_handle), LARGE_INTEGER{}, &position, FILE_CURRENT)) {
        return lastFailure();
    }
    std::size_t filled = 0;
    Expected<std::size_t> outcome;
    while (filled < buffer.size()) {
        const auto at = static_cast<std::uint64_t>(offset) + filled;
        OVERLAPPED place{};
        place.Offset = static_cast<DWORD>(at);
        place.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD got = 0;
        if (!ReadFile(handleOf(m_handle), buffer.data() + filled, pieceOf(buffer.size() - filled),
                      &got, &place)) {
            if (GetLastError() != ERROR_HANDLE_EOF) {
                outcome = lastFailure();
            }
            break;
        }
        if (got == 0) {
            break;
        }
        filled += got;
    }
    if (!SetFilePointerEx(handleOf(m_handle), position, nullptr, FILE_BEGIN) && outcome) {
        outcome = lastFailure();
    }
    if (!outcome) {
        return outcome;
    }
    return filled;
}

Expected<std::int64_t> File::seek(std::int64_t offset, From from) {
    const DWORD method = from == From::Start     ? FILE_BEGIN
                         : from == From::Current ? FILE_CURRENT
                                                 : FILE_END;
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER position{};
    if (!SetFilePointerEx(handleOf(m_handle), distance, &position, method)) {
        return lastFailure();
    }
    return position.QuadPart;
}

Expected<std::size_t> File::writeSome(std::span<const char> bytes) {
    if (bytes.empty()) {
        return 0;
    }
    DWORD written = 0;
    if (!WriteFile(handleOf(m_handle), bytes.data(), pieceOf(bytes.size()), &written, nullptr)) {
        return lastFailure();
    }
    if (written == 0) {
        // A write that takes nothing without an error is a full disk by another name.
        return fail(std::make_error_code(std::errc::no_space_on_device), m_path);
    }
    return written;
}

Expected<std::int64_t> File::copyRangeTo(std::int64_t offset, std::int64_t length, File& to) const {
    // Windows copies no range between two files in the kernel: a piece goes through a buffer
    // here, so that callers make the same calls as elsewhere.
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::int64_t>(length, 8 << 20)));
    const auto got = readAt(buffer, offset);
    if (!got) {
        return tl::unexpected(got.error());
    }
    std::span<const char> left(buffer.data(), *got);
    while (!left.empty()) {
        const auto written = to.writeSome(left);
        if (!written) {
            return tl::unexpected(written.error());
        }
        left = left.subspan(*written);
    }
    return static_cast<std::int64_t>(*got);
}

void File::startWriteBack() const {
    // Windows has no call that starts writing without waiting; its cache writes on its own.
}

Expected<void> File::sync() const {
    if (!FlushFileBuffers(handleOf(m_handle))) {
        return lastFailure();
    }
    return {};
}

Expected<void> File::tryLock() const {
    // One byte far past any content: Windows' locks keep others from the bytes they cover.
    OVERLAPPED place{};
    place.OffsetHigh = 0x7fffffff;
    if (!LockFileEx(handleOf(m_handle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1,
                    0, &place)) {
        return GetLastError() == ERROR_LOCK_VIOLATION
                   ? fail(std::make_error_code(std::errc::resource_unavailable_try_again), m_path)
                   : lastFailure();
    }
    return {};
}

Expected<void> File::close() {
    if (m_handle == kClosed) {
        return {};
    }
    if (!CloseHandle(handleOf(std::exchange(m_handle, kClosed)))) {
        return lastFailure();
    }
    return {};
}

std::string File::shortName() const {
    // Windows names no open file by a short path; its SQLite takes the long path itself.
    return {};
}

} // namespace trawlmeter
