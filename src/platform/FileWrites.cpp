#include "platform/FileWrites.h"

#include <cerrno>
#include <unistd.h>

namespace trawlmeter {
namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

} // namespace

std::error_code writeWhole(FileWritePort& writes, int to, std::span<const char> bytes) {
    while (!bytes.empty()) {
        const auto written = writes.write(to, bytes);
        if (!written) {
            return written.error();
        }
        bytes = bytes.subspan(*written);
    }
    return {};
}

tl::expected<std::size_t, std::error_code> SystemFileWrites::write(int to,
                                                                   std::span<const char> bytes) {
    for (;;) {
        const ssize_t written = ::write(to, bytes.data(), bytes.size());
        if (written > 0 || bytes.empty()) {
            return static_cast<std::size_t>(written);
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        // A write that takes nothing without an error is a full disk by another name.
        return tl::unexpected(written < 0 ? lastError()
                                          : std::make_error_code(std::errc::no_space_on_device));
    }
}

tl::expected<std::int64_t, std::error_code>
SystemFileWrites::copyRange(int from, std::int64_t offset, std::int64_t length, int to) {
    for (;;) {
        off_t position = offset;
        const ssize_t copied =
            ::copy_file_range(from, &position, to, nullptr, static_cast<std::size_t>(length), 0);
        if (copied >= 0) {
            return copied;
        }
        if (errno != EINTR) {
            return tl::unexpected(lastError());
        }
    }
}

} // namespace trawlmeter
