#pragma once

#include <cstdint>
#include <vector>

namespace trawlmeter::split {

enum class CopyResult { Copied, ReadFailed, WriteFailed };

// Copies byte ranges between open files, in the kernel where it can and otherwise through one
// buffer of fixed size, so memory stays the same however large the range.
class RangeCopier {
public:
    // Copies `length` bytes from `offset` of `from` to the current position of `to`. A source
    // that ends before the range does counts as a failed read.
    CopyResult copy(int from, std::int64_t offset, std::int64_t length, int to);

private:
    // How many bytes went through before the kernel copy stopped.
    std::int64_t copyInKernel(int from, std::int64_t offset, std::int64_t length, int to);
    CopyResult copyThroughBuffer(int from, std::int64_t offset, std::int64_t length, int to);

    bool m_kernelCopy = true;
    std::vector<char> m_buffer;
};

} // namespace trawlmeter::split
