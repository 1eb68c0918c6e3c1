#include "logs/LogFormat.h"

#include "platform/AsciiCase.h"

#include <archive.h>

#include <array>

namespace trawlmeter::logs {
namespace {

struct Ending {
    std::string_view ending;
    LogFormat format;
};

constexpr std::array kEndings = {
    Ending{".gz", {LogKind::Compressed, ARCHIVE_FILTER_GZIP, "gzip"}},
    Ending{".bz2", {LogKind::Compressed, ARCHIVE_FILTER_BZIP2, "bzip2"}},
    Ending{".xz", {LogKind::Compressed, ARCHIVE_FILTER_XZ, "xz"}},
    Ending{".zst", {LogKind::Compressed, ARCHIVE_FILTER_ZSTD, "zstd"}},
    Ending{".zip", {LogKind::Archive, ARCHIVE_FORMAT_ZIP, "zip"}},
    Ending{".7z", {LogKind::Archive, ARCHIVE_FORMAT_7ZIP, "7z"}},
};

} // namespace

LogFormat logFormatOf(std::string_view path) {
    for (const Ending& candidate : kEndings) {
        if (endsWithIgnoringAsciiCase(path, candidate.ending)) {
            return candidate.format;
        }
    }
    return {LogKind::Plain, 0, "plain"};
}

LogKind logKindOf(std::string_view path) {
    return logFormatOf(path).kind;
}

bool hasLogEnding(std::string_view name) {
    return endsWithIgnoringAsciiCase(name, ".log");
}

} // namespace trawlmeter::logs
