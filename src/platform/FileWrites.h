#pragma once

#include <tl/expected.hpp>

#include <cstddef>
#include <cstdint>
#include <span>
#include <system_error>

namespace trawlmeter {

// The two ways bytes reach a file the program writes: a disk can refuse either (full, quota,
// an input/output error), so they form a port that a test can make fail.
class FileWritePort {
public:
    virtual ~FileWritePort() = default;
    // Writes the start of `bytes` at the current position of `to`: how many were written,
    // which is never 0 for a non-empty span.
    [[nodiscard]] virtual tl::expected<std::size_t, std::error_code>
    write(int to, std::span<const char> bytes) = 0;
    // Copies up to `length` bytes from `offset` of `from` to the current position of `to`
    // inside the kernel: how many were copied, 0 when the source ends at `offset`.
    [[nodiscard]] virtual tl::expected<std::int64_t, std::error_code>
    copyRange(int from, std::int64_t offset, std::int64_t length, int to) = 0;
};

// Writes all of `bytes` at the current position of `to`, piece by piece; the reason when a
// piece is refused.
[[nodiscard]] std::error_code writeWhole(FileWritePort& writes, int to,
                                         std::span<const char> bytes);

// The operating system's own calls.
class SystemFileWrites : public FileWritePort {
public:
    tl::expected<std::size_t, std::error_code> write(int to, std::span<const char> bytes) override;
    tl::expected<std::int64_t, std::error_code> copyRange(int from, std::int64_t offset,
                                                          std::int64_t length, int to) override;
};

} // namespace trawlmeter
