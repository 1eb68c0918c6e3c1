#pragma once

#include <string_view>

namespace trawlmeter::logs {

enum class LogKind { Plain, Compressed, Archive };

// What the ending of a log's path claims, ignoring case: one gzip, bzip2, xz or zstd stream
// (.gz .bz2 .xz .zst), an archive of members (.zip .7z), or else a plain log.
struct LogFormat {
    LogKind kind;
    // libarchive's ARCHIVE_FILTER_* code of a compressed stream or ARCHIVE_FORMAT_* base code of
    // an archive; 0 for a plain log.
    int code;
    std::string_view name;
};

[[nodiscard]] LogFormat logFormatOf(std::string_view path);
[[nodiscard]] LogKind logKindOf(std::string_view path);
// Whether an archive member's name ends in .log, ignoring case.
[[nodiscard]] bool hasLogEnding(std::string_view name);

} // namespace trawlmeter::logs
