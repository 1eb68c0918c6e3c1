#pragma once

#include <string_view>

namespace trawlmeter::logs {

enum class LogKind { Plain, Compressed, Archive };

// What a log is: one gzip, bzip2, xz or zstd stream, an archive of members (a zip, a 7z, or a
// tar, plain or compressed), or a plain log.
struct LogFormat {
    LogKind kind;
    // libarchive's ARCHIVE_FORMAT_* base code of an archive; 0 for any other log.
    int archive;
    // libarchive's ARCHIVE_FILTER_* code of the compression around the log or the archive;
    // ARCHIVE_FILTER_NONE (0) for none.
    int filter;
    std::string_view name;
};

// What a log is by the ending of its path, ignoring case (.gz .bz2 .xz .zst; .zip .7z; .tar and
// .tar.gz .tgz .tar.bz2 .tbz2 .tar.xz .txz .tar.zst .tzst), and where the ending claims a plain
// log (.log, or none of those), by its first bytes: a compressed log or an archive named like a
// log is read as what it is. A compressed stream that holds a tar is that tar. A file that
// cannot be read is what its name claims.
[[nodiscard]] LogFormat logFormatOf(std::string_view path);
[[nodiscard]] LogKind logKindOf(std::string_view path);
// Whether an archive member's name ends in .log, ignoring case.
[[nodiscard]] bool hasLogEnding(std::string_view name);

} // namespace trawlmeter::logs
