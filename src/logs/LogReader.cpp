#include "logs/LogReader.h"

#include "platform/Problem.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace trawlmeter::logs {

Expected<LogReader> LogReader::open(const LogEntry& entry) {
    const auto failure = [&entry](Failure reason) {
        reason.subject = entry.label();
        return tl::unexpected(std::move(reason));
    };
    auto stream = LogStream::open(entry.path);
    if (!stream) {
        return failure(stream.error());
    }
    const bool inArchive = logKindOf(entry.path) == LogKind::Archive;
    if (inArchive != (entry.memberIndex >= 0)) {
        return failure({Problem::NotALogOfThisFile, {}, {}});
    }
    for (;;) {
        auto member = stream->nextMember();
        if (!member) {
            return failure(member.error());
        }
        if (!*member || (*member)->index > entry.memberIndex) {
            return failure({Problem::EntryGone, {}, {}});
        }
        if ((*member)->index == entry.memberIndex) {
            if (!(*member)->isLog || (*member)->name != entry.member) {
                return failure({Problem::EntryMoved, {}, {}});
            }
            return LogReader(std::move(*stream));
        }
    }
}

Expected<std::size_t> LogReader::read(std::span<char> buffer) {
    std::size_t copied = 0;
    while (copied < buffer.size()) {
        if (m_pending.empty()) {
            auto block = m_stream.nextBlock();
            if (!block && copied == 0) {
                return tl::unexpected(block.error());
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

Expected<std::span<const char>> LogReader::nextBlock() {
    if (!m_pending.empty()) {
        return std::exchange(m_pending, {});
    }
    return m_stream.nextBlock();
}

} // namespace trawlmeter::logs
