#pragma once

#include "platform/FileWrites.h"

#include <tl/expected.hpp>

#include <cstdint>
#include <system_error>
#include <vector>

namespace trawlmeter::split {

struct CopyFailure {
    enum class Kind { ReadFailed, SourceEnded, WriteFailed };
    Kind kind;
    // The system's reason; empty for SourceEnded.
    std::error_code error;
};

// Copies byte ranges between open files, in the kernel where it can and otherwise through one
// buffer of fixed size, so memory stays the same however large the range.
class RangeCopier {
public:
    explicit RangeCopier(FileWritePort& writes) : m_writes(writes) {}

    // Copies `length` bytes from `offset` of `from` to the current position of `to`. Tells a
    // failed read, a source that ends before the range does and a refused write apart.
    [[nodiscard]] tl::expected<void, CopyFailure> copy(const File& from, std::int64_t offset,
                                                       std::int64_t length, File& to);

private:
    // How many bytes went through before the kernel copy stopped.
    std::int64_t copyInKernel(const File& from, std::int64_t offset, std::int64_t length, File& to);
    tl::expected<void, CopyFailure> copyThroughBuffer(const File& from, std::int64_t offset,
                                                      std::int64_t length, File& to);

    FileWritePort& m_writes;
    bool m_kernelCopy = true;
    std::vector<char> m_buffer;
};

} // namespace trawlmeter::split
