#include "split/RangeCopier.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace trawlmeter::split {
namespace {

constexpr std::int64_t kBufferBytes = 1 << 20;

} // namespace

tl::expected<void, CopyFailure> RangeCopier::copy(int from, std::int64_t offset,
                                                  std::int64_t length, int to) {
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

std::int64_t RangeCopier::copyInKernel(int from, std::int64_t offset, std::int64_t length, int to) {
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

tl::expected<void, CopyFailure> RangeCopier::copyThroughBuffer(int from, std::int64_t offset,
                                                               std::int64_t length, int to) {
    m_buffer.resize(static_cast<size_t>(kBufferBytes));
    while (length > 0) {
        const ssize_t got = ::pread(from, m_buffer.data(),
                                    static_cast<size_t>(std::min(length, kBufferBytes)), offset);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return tl::unexpected(
                CopyFailure{CopyFailure::Kind::ReadFailed, {errno, std::generic_category()}});
        }
        if (got == 0) {
            return tl::unexpected(CopyFailure{CopyFailure::Kind::SourceEnded, {}});
        }
        if (const auto error =
                writeWhole(m_writes, to, {m_buffer.data(), static_cast<std::size_t>(got)})) {
            return tl::unexpected(CopyFailure{CopyFailure::Kind::WriteFailed, error});
        }
        offset += got;
        length -= got;
    }
    return {};
}

} // namespace trawlmeter::split
