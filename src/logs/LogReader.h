#pragma once

#include "logs/LogArchive.h"
#include "logs/LogStream.h"

#include "platform/Failure.h"

#include <cstddef>
#include <memory>
#include <span>
#include <utility>

namespace trawlmeter::logs {

// Reads one log listed by listLogs: a plain file's bytes, a compressed file's decompressed
// bytes, or one archive member's bytes, in blocks of the decompressor's size so memory stays
// bounded whatever the compression. A log that is damaged, truncated, encrypted or not of the
// format its ending claims fails instead of ending early; as some checks (the gzip CRC) can only
// run at the end, bytes already read are good only once the end is reached without a failure.
class LogReader {
public:
    // Fails when the file cannot be opened, is not of the format its ending claims, or no
    // longer holds that member at that position. Every failure names the log (the entry's
    // label).
    [[nodiscard]] static Expected<LogReader> open(const LogEntry& entry);

    // Fills `buffer` as far as the log goes: the bytes copied, 0 only at the end (or for an
    // empty buffer). A failure after some bytes were copied is reported by the next call.
    [[nodiscard]] Expected<std::size_t> read(std::span<char> buffer);
    // The next bytes without a copy, valid until the next call on this reader; empty at the end.
    [[nodiscard]] Expected<std::span<const char>> nextBlock();

private:
    friend class MemberWalk;
    explicit LogReader(std::unique_ptr<LogStream> stream)
        : m_owned(std::move(stream)), m_stream(m_owned.get()) {}
    // Reads through a stream another owns.
    explicit LogReader(LogStream& stream) : m_stream(&stream) {}

    std::unique_ptr<LogStream> m_owned;
    LogStream* m_stream;
    std::span<const char> m_pending;
};

// The members of one archive read one after another through a single opening of it: asked for
// in the archive's own order (the usual case, as tools write members in name order), every
// member is found by going on from the one before, so the whole archive is one pass however
// many members it has. A member that lies before the one last asked for opens the archive
// afresh and is found from its start.
class MemberWalk {
public:
    explicit MemberWalk(std::string path) : m_path(std::move(path)) {}

    // A reader of `entry`, a member of this archive, that reads through the walk: valid until
    // the next call. Fails as LogReader::open does.
    [[nodiscard]] Expected<LogReader> open(const LogEntry& entry);

    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    std::unique_ptr<LogStream> m_stream;
};

} // namespace trawlmeter::logs
