#include "platform/ChunkFiles.h"

#include "platform/Problem.h"

#include <cerrno>
#include <optional>
#include <fcntl.h>
#include <sys/stat.h>

namespace trawlmeter {
namespace {

// Non-blocking so that a pipe planted at the name cannot hang the program in open().
constexpr int kOpenFlags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// Nothing when `fd` is anything but a plain file with this one name; else its size.
std::optional<off_t> singlePlainFileSize(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_nlink != 1) {
        return std::nullopt;
    }
    return status.st_size;
}

std::error_code lastError() {
    return {errno, std::generic_category()};
}

tl::expected<FileHandle, std::error_code> replaceWithNewFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0) {
        return tl::unexpected(lastError());
    }
    FileHandle file(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | kOpenFlags, 0666));
    if (file.fd() < 0) {
        return tl::unexpected(lastError());
    }
    return file;
}

} // namespace

tl::expected<SourceFile, std::error_code> openSourceFile(const std::string& path) {
    FileHandle file(::open(path.c_str(), O_RDONLY | kOpenFlags));
    struct stat status {};
    if (file.fd() < 0 || ::fstat(file.fd(), &status) != 0) {
        return tl::unexpected(lastError());
    }
    if (S_ISDIR(status.st_mode)) {
        return tl::unexpected(std::make_error_code(std::errc::is_a_directory));
    }
    if (!S_ISREG(status.st_mode)) {
        return tl::unexpected(make_error_code(Problem::NotARegularFile));
    }
    return SourceFile{std::move(file), static_cast<std::int64_t>(status.st_size)};
}

tl::expected<FileHandle, std::error_code> createChunkFile(const std::string& path) {
    // No O_TRUNC here: it would empty the other file before we could see a second name.
    FileHandle file(::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | kOpenFlags, 0666));
    if (file.fd() < 0) {
        const bool linkOrPipe = errno == ELOOP || errno == ENXIO;
        return linkOrPipe ? replaceWithNewFile(path) : tl::unexpected(lastError());
    }
    const auto size = singlePlainFileSize(file.fd());
    if (!size) {
        file.close();
        return replaceWithNewFile(path);
    }
    // Only a stale file is truncated: on ext4 a truncation to zero makes the close flush the
    // new data at once, which would cost every fresh chunk a write to disk.
    if (*size > 0 && ::ftruncate(file.fd(), 0) != 0) {
        return tl::unexpected(lastError());
    }
    return file;
}

} // namespace trawlmeter
