#pragma once

#include "platform/Failure.h"
#include "platform/File.h"
#include "platform/FileWrites.h"

#include <cstdint>
#include <vector>

namespace trawlmeter::split {

// Copies byte ranges between open files, in the kernel where it can and otherwise through one
// buffer of fixed size, so memory stays the same however large the range.
class RangeCopier {
public:
    explicit RangeCopier(FileWritePort& writes) : m_writes(writes) {}

    // Copies `length` bytes from `offset` of `from` to the current position of `to`. A failed
    // read or a source that ends before the range does (Problem::ShrankWhileRead) names the
    // source, a refused write the destination.
    [[nodiscard]] Expected<void> copy(const File& from, std::int64_t offset, std::int64_t length,
                                      File& to);

private:
    // How many bytes went through before the kernel copy stopped.
    std::int64_t copyInKernel(const File& from, std::int64_t offset, std::int64_t length, File& to);
    Expected<void> copyThroughBuffer(const File& from, std::int64_t offset, std::int64_t length,
                                     File& to);

    FileWritePort& m_writes;
    bool m_kernelCopy = true;
    std::vector<char> m_buffer;
};

} // namespace trawlmeter::split
