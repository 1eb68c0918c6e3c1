#include "logs/LogReader.h"

#include "platform/Problem.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace trawlmeter::logs {

namespace {

// Steps `stream` on to `entry`, which must lie at or after its place.
Expected<void> seekMember(LogStream& stream, const LogEntry& entry) {
    for (;;) {
        auto member = stream.nextMember();
        if (!member) {
            return tl::unexpected(member.error());
        }
        if (!*member || (*member)->index > entry.memberIndex) {
            return fail(Problem::EntryGone);
        }
        if ((*member)->index == entry.memberIndex) {
            if (!(*member)->isLog || (*member)->name != entry.member) {
                return fail(Problem::EntryMoved);
            }
            return {};
        }
    }
}

tl::unexpected<Failure> failureOf(const LogEntry& entry, Failure reason) {
    reason.subject = entry.label();
    return tl::unexpected(std::move(reason));
}

} // namespace

Expected<LogReader> LogReader::open(const LogEntry& entry) {
    auto stream = LogStream::open(entry.path);
    if (!stream) {
        return failureOf(entry, stream.error());
    }
    const bool inArchive = logKindOf(entry.path) == LogKind::Archive;
    if (inArchive != (entry.memberIndex >= 0)) {
        return failureOf(entry, {Problem::NotALogOfThisFile, {}, {}});
    }
    auto owned = std::make_unique<LogStream>(std::move(*stream));
    if (auto found = seekMember(*owned, entry); !found) {
        return failureOf(entry, found.error());
    }
    return LogReader(std::move(owned));
}

Expected<LogReader> MemberWalk::open(const LogEntry& entry) {
    if (entry.path != m_path || entry.memberIndex < 0) {
        return failureOf(entry, {Problem::NotALogOfThisFile, {}, {}});
    }
    if (!m_stream || m_stream->failed() || m_stream->index() >= entry.memberIndex) {
        m_stream.reset();
        auto stream = LogStream::open(m_path);
        if (!stream) {
            return failureOf(entry, stream.error());
        }
        m_stream = std::make_unique<LogStream>(std::move(*stream));
    }
    if (auto found = seekMember(*m_stream, entry); !found) {
        return failureOf(entry, found.error());
    }
    return LogReader(*m_stream);
}

Expected<std::size_t> LogReader::read(std::span<char> buffer) {
    std::size_t copied = 0;
    while (copied < buffer.size()) {
        if (m_pending.empty()) {
            auto block = m_stream->nextBlock();
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
    return m_stream->nextBlock();
}

} // namespace trawlmeter::logs
