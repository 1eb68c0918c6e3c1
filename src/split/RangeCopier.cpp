#include "split/RangeCopier.h"

#include <algorithm>

#include "platform/Problem.h"

namespace trawlmeter::split {
namespace {

constexpr std::int64_t kBufferBytes = 1 << 20;

} // namespace

Expected<void> RangeCopier::copy(const File& from, std::int64_t offset, std::int64_t length,
                                 File& to) {
    if (m_kernelCopy) {
        const std::int64_t copied = copyInKernel(from, offset, length, to);
        if (copied == length) {
            return {};
        }
        // Whatever stopped the kernel copy (no support between these files, a short source,
        // a full disk), the plain copy goes on and tells a failed read from a failed write.
        m_kernelCopy = false;
        offset += copied;
        length -= copied;
    }
    return copyThroughBuffer(from, offset, length, to);
}

std::int64_t RangeCopier::copyInKernel(const File& from, std::int64_t offset, std::int64_t length,
                                       File& to) {
    std::int64_t copied = 0;
    while (copied < length) {
        const auto step = m_writes.copyRange(from, offset + copied, length - copied, to);
        if (!step || *step == 0) {
            break;
        }
        copied += *step;
    }
    return copied;
}

Expected<void> RangeCopier::copyThroughBuffer(const File& from, std::int64_t offset,
                                              std::int64_t length, File& to) {
    m_buffer.resize(static_cast<size_t>(kBufferBytes));
    while (length > 0) {
        const auto got = from.readAt(
            {m_buffer.data(), static_cast<size_t>(std::min(length, kBufferBytes))}, offset);
        if (!got) {
            return tl::unexpected(got.error());
        }
        if (*got == 0) {
            return fail(Problem::ShrankWhileRead, from.path());
        }
        if (auto written = writeWhole(m_writes, to, {m_buffer.data(), *got}); !written) {
            return written;
        }
        offset += static_cast<std::int64_t>(*got);
        length -= static_cast<std::int64_t>(*got);
    }
    return {};
}

} // namespace trawlmeter::split
