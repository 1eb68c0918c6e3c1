#include "split/RangeCopier.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace trawlmeter::split {
namespace {

constexpr std::int64_t kBufferBytes = 1 << 20;

bool writeAll(int to, const char* data, std::int64_t length) {
    while (length > 0) {
        const ssize_t written = ::write(to, data, static_cast<size_t>(length));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        length -= written;
    }
    return true;
}

} // namespace

CopyResult RangeCopier::copy(int from, std::int64_t offset, std::int64_t length, int to) {
    if (m_kernelCopy) {
        const std::int64_t copied = copyInKernel(from, offset, length, to);
        if (copied == length) {
            return CopyResult::Copied;
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
        off_t position = offset + copied;
        const ssize_t step = ::copy_file_range(from, &position, to, nullptr,
                                               static_cast<size_t>(length - copied), 0);
        if (step < 0 && errno == EINTR) {
            continue;
        }
        if (step <= 0) {
            break;
        }
        copied += step;
    }
    return copied;
}

CopyResult RangeCopier::copyThroughBuffer(int from, std::int64_t offset, std::int64_t length,
                                          int to) {
    m_buffer.resize(static_cast<size_t>(kBufferBytes));
    while (length > 0) {
        const ssize_t got = ::pread(from, m_buffer.data(),
                                    static_cast<size_t>(std::min(length, kBufferBytes)), offset);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return CopyResult::ReadFailed;
        }
        if (!writeAll(to, m_buffer.data(), got)) {
            return CopyResult::WriteFailed;
        }
        offset += got;
        length -= got;
    }
    return CopyResult::Copied;
}

} // namespace trawlmeter::split
