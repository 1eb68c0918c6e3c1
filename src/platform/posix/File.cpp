#include "platform/File.h"

#include <cerrno>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Problem.h"

namespace trawlmeter {
namespace {

// Non-blocking so that a pipe planted at a name cannot hang the program in open().
constexpr int kOpenFlags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

tl::unexpected<Failure> systemFailure(const std::string& path, int error = errno) {
    return fail({error, std::generic_category()}, path);
}

int descriptor(std::intptr_t handle) {
    return static_cast<int>(handle);
}

// Reads until `buffer` is full or the file ends, as often as `readSome(at, bytes, filled)`
// (a read(2) or pread(2)) needs, again when a signal interrupted it. Nothing when a read failed:
// errno says why.
template <typename ReadSome>
std::optional<std::size_t> fillFrom(std::span<char> buffer, ReadSome readSome) {
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        const ssize_t got = readSome(buffer.data() + filled, buffer.size() - filled, filled);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    return filled;
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
    return systemFailure(m_path);
}

Expected<File> File::openForReading(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | kOpenFlags);
    if (fd < 0) {
        return systemFailure(path);
    }
    return File(fd, path);
}

Expected<File> File::openRegularForReading(const std::string& path) {
    auto file = openForReading(path);
    if (!file) {
        return file;
    }
    struct stat status {};
    if (::fstat(descriptor(file->m_handle), &status) != 0) {
        return file->lastFailure();
    }
    if (S_ISDIR(status.st_mode)) {
        return fail(std::make_error_code(std::errc::is_a_directory), path);
    }
    if (!S_ISREG(status.st_mode)) {
        return fail(Problem::NotARegularFile, path);
    }
    return file;
}

Expected<File> File::createEmpty(const std::string& path) {
    // No O_TRUNC here: it would empty the other file before we could see a second name.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | kOpenFlags, 0666);
    const auto replaced = [&path]() -> Expected<File> {
        if (::unlink(path.c_str()) != 0) {
            return systemFailure(path);
        }
        return createNew(path);
    };
    if (fd < 0) {
        const bool linkOrPipe = errno == ELOOP || errno == ENXIO;
        return linkOrPipe ? replaced() : systemFailure(path);
    }
    File file(fd, path);
    struct stat status {};
    // Anything but a plain file with this one name is replaced, not written through.
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_nlink != 1) {
        (void)file.close();
        return replaced();
    }
    // Only a stale file is truncated: on ext4 a truncation to zero makes the close flush the
    // new data at once, which would cost every fresh file a write to disk.
    if (status.st_size > 0 && ::ftruncate(fd, 0) != 0) {
        return file.lastFailure();
    }
    return file;
}

Expected<File> File::createNew(const std::string& path) {
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | kOpenFlags, 0666);
    if (fd < 0) {
        return systemFailure(path);
    }
    return File(fd, path);
}

Expected<File> File::openFolder(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return systemFailure(path);
    }
    return File(fd, path);
}

Expected<File> File::openForLocking(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | kOpenFlags, 0666);
    if (fd < 0) {
        return systemFailure(path);
    }
    File file(fd, path);
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return file.lastFailure();
    }
    if (!S_ISREG(status.st_mode)) {
        return fail(Problem::NotARegularFile, path);
    }
    return file;
}

Expected<std::int64_t> File::size() const {
    struct stat status {};
    if (::fstat(descriptor(m_handle), &status) != 0) {
        return lastFailure();
    }
    return status.st_size;
}

Expected<std::size_t> File::read(std::span<char> buffer) {
    if (const auto filled = fillFrom(buffer, [this](char* at, std::size_t bytes, std::size_t) {
            return ::read(descriptor(m_handle), at, bytes);
        })) {
        return *filled;
    }
    return lastFailure();
}

Expected<std::size_t> File::readAt(std::span<char> buffer, std::int64_t offset) const {
    if (const auto filled =
            fillFrom(buffer, [this, offset](char* at, std::size_t bytes, std::size_t done) {
                return ::pread(descriptor(m_handle), at, bytes,
                               offset + static_cast<std::int64_t>(done));
            })) {
        return *filled;
    }
    return lastFailure();
}

Expected<std::int64_t> File::seek(std::int64_t offset, From from) {
    const int whence = from == From::Start ? SEEK_SET : from == From::Current ? SEEK_CUR : SEEK_END;
    const off_t position = ::lseek(descriptor(m_handle), offset, whence);
    if (position < 0) {
        return lastFailure();
    }
    return position;
}

Expected<std::size_t> File::writeSome(std::span<const char> bytes) {
    for (;;) {
        const ssize_t written = ::write(descriptor(m_handle), bytes.data(), bytes.size());
        if (written > 0 || bytes.empty()) {
            return static_cast<std::size_t>(written);
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0) {
            return lastFailure();
        }
        // A write that takes nothing without an error is a full disk by another name.
        return fail(std::make_error_code(std::errc::no_space_on_device), m_path);
    }
}

Expected<std::int64_t> File::copyRangeTo(std::int64_t offset, std::int64_t length, File& to) const {
    for (;;) {
        off_t position = offset;
        const ssize_t copied =
            ::copy_file_range(descriptor(m_handle), &position, descriptor(to.m_handle), nullptr,
                              static_cast<std::size_t>(length), 0);
        if (copied >= 0) {
            return static_cast<std::int64_t>(copied);
        }
        if (errno != EINTR) {
            return to.lastFailure();
        }
    }
}

void File::startWriteBack() const {
    (void)::sync_file_range(descriptor(m_handle), 0, 0, SYNC_FILE_RANGE_WRITE);
}

Expected<void> File::sync() const {
    if (::fsync(descriptor(m_handle)) != 0) {
        return lastFailure();
    }
    return {};
}

Expected<void> File::tryLock() const {
    if (::flock(descriptor(m_handle), LOCK_EX | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK
                   ? fail(std::make_error_code(std::errc::resource_unavailable_try_again), m_path)
                   : lastFailure();
    }
    return {};
}

Expected<void> File::close() {
    if (m_handle == kClosed) {
        return {};
    }
    if (::close(descriptor(std::exchange(m_handle, kClosed))) != 0) {
        return lastFailure();
    }
    return {};
}

std::string File::shortName() const {
    return isOpen() ? "/proc/self/fd/" + std::to_string(m_handle) : std::string();
}

} // namespace trawlmeter
