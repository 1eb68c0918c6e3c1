#include "logs/LogReader.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace trawlmeter::logs {

tl::expected<LogReader, LogReadError> LogReader::open(const LogEntry& entry) {
    auto stream = LogStream::open(entry.path);
    if (!stream) {
        return tl::make_unexpected(stream.error());
    }
    const bool inArchive = logKindOf(entry.path) == LogKind::Archive;
    if (inArchive != (entry.memberIndex >= 0)) {
        return tl::make_unexpected(LogReadError{entry.label(), "not a log of this file"});
    }
    for (;;) {
        auto member = stream->nextMember();
        if (!member) {
            return tl::make_unexpected(member.error());
        }
        if (!*member || (*member)->index > entry.memberIndex) {
            return tl::make_unexpected(LogReadError{entry.label(), "no longer in the archive"});
        }
        if ((*member)->index == entry.memberIndex) {
            if (!(*member)->isLog || (*member)->name != entry.member) {
                return tl::make_unexpected(
                    LogReadError{entry.label(), "no longer in the archive at its position"});
            }
            return LogReader(std::move(*stream));
        }
    }
}

tl::expected<std::size_t, LogReadError> LogReader::read(std::span<char> buffer) {
    std::size_t copied = 0;
    while (copied < buffer.size()) {
        if (m_pending.empty()) {
            auto block = m_stream.nextBlock();
            if (!block && copied == 0) {
                return tl::make_unexpected(block.error());
            }
            if (!block || block->empty()) {
                break;
            }
            m_pending = *block;
        }
        const std::size_t step = std::min(buffer.size() - copied, m_pending.size());
        std::memcpy(buffer.data() + copied, m_pending.data(), step);
        m_pending = m_pending.subspan(step);
        copied += step;
    }
    return copied;
}

tl::expected<std::span<const char>, LogReadError> LogReader::nextBlock() {
    if (!m_pending.empty()) {
        return std::exchange(m_pending, {});
    }
    return m_stream.nextBlock();
}

} // namespace trawlmeter::logs
