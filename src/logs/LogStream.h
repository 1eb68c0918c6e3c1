#pragma once

#include "logs/LogArchive.h"
#include "logs/LogFormat.h"

#include "platform/Failure.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

struct archive;

namespace trawlmeter::logs {

struct LogSource;

// A log file opened through libarchive in the one format its ending claims: steps through its
// entries (a whole file is one) and reads the current entry in the decompressor's own blocks.
// Every way a log can end early (damage, truncation, encryption, fewer bytes than its header
// gives) is a failure, never a short read; once failed it keeps failing the same way.
class LogStream {
public:
    struct Member {
        std::int64_t index; // position among all entries; -1 for a whole file
        std::string name;   // empty for a whole file
        bool isLog;         // a whole file, or a regular-file member named *.log
    };

    [[nodiscard]] static Expected<LogStream> open(const std::string& path);

    LogStream(LogStream&& other) noexcept;
    LogStream& operator=(LogStream&& other) = delete;
    ~LogStream();

    // The place of the entry in hand among all entries; -1 before the first.
    std::int64_t index() const { return m_index; }
    // Whether the stream failed for good.
    bool failed() const { return m_failure.has_value(); }

    // The next entry, ready to be read, or nothing after the last.
    [[nodiscard]] Expected<std::optional<Member>> nextMember();
    // The next bytes of the current entry, valid until the next call; empty at its end, which
    // comes only after every check passed.
    [[nodiscard]] Expected<std::span<const char>> nextBlock();

private:
    struct ArchiveFree {
        void operator()(archive* handle) const;
    };

    LogStream(std::string path, LogFormat format, std::unique_ptr<LogSource> source,
              std::unique_ptr<archive, ArchiveFree> handle);

    // Fails the stream for good, the failure about the entry in hand.
    tl::unexpected<Failure> failWith(Failure failure);
    // Fails the stream for the reason libarchive gave up.
    tl::unexpected<Failure> failedInLibarchive();
    Expected<std::span<const char>> finishEntry();

    std::string m_path;
    LogFormat m_format;
    // Declared before the archive, which reads it, so it is closed after the archive is freed.
    std::unique_ptr<LogSource> m_source;
    std::unique_ptr<archive, ArchiveFree> m_archive;
    std::optional<Failure> m_failure;

    std::int64_t m_index = -1;
    std::string m_label;
    std::int64_t m_declaredSize = -1;
    std::int64_t m_delivered = 0;
    bool m_encrypted = false;
    bool m_hasData = false;
    bool m_ended = false;
};

} // namespace trawlmeter::logs
