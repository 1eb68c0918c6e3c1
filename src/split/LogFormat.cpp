#include "split/LogFormat.h"

#include <archive.h>

#include <algorithm>
#include <array>

namespace trawlmeter::split {
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

// ASCII only, so the result does not depend on the locale the window sets.
char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool endsWithIgnoringCase(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() &&
           std::equal(ending.begin(), ending.end(), text.end() - ending.size(),
                      [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
}

} // namespace

LogFormat logFormatOf(std::string_view path) {
    for (const Ending& candidate : kEndings) {
        if (endsWithIgnoringCase(path, candidate.ending)) {
            return candidate.format;
        }
    }
    return {LogKind::Plain, 0, "plain"};
}

LogKind logKindOf(std::string_view path) {
    return logFormatOf(path).kind;
}

bool hasLogEnding(std::string_view name) {
    return endsWithIgnoringCase(name, ".log");
}

} // namespace trawlmeter::split
