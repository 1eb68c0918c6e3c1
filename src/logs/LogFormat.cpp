#include "logs/LogFormat.h"

#include "platform/AsciiCase.h"
#include "platform/File.h"

#include <archive.h>
#include <archive_entry.h>

#include <array>
#include <memory>
#include <string>

namespace trawlmeter::logs {
namespace {

struct Ending {
    std::string_view ending;
    LogFormat format;
};

constexpr LogFormat kGzip{LogKind::Compressed, 0, ARCHIVE_FILTER_GZIP, "gzip"};
constexpr LogFormat kBzip2{LogKind::Compressed, 0, ARCHIVE_FILTER_BZIP2, "bzip2"};
constexpr LogFormat kXz{LogKind::Compressed, 0, ARCHIVE_FILTER_XZ, "xz"};
constexpr LogFormat kZstd{LogKind::Compressed, 0, ARCHIVE_FILTER_ZSTD, "zstd"};
constexpr LogFormat kZip{LogKind::Archive, ARCHIVE_FORMAT_ZIP, ARCHIVE_FILTER_NONE, "zip"};
constexpr LogFormat k7z{LogKind::Archive, ARCHIVE_FORMAT_7ZIP, ARCHIVE_FILTER_NONE, "7z"};
constexpr LogFormat kTar{LogKind::Archive, ARCHIVE_FORMAT_TAR, ARCHIVE_FILTER_NONE, "tar"};
constexpr LogFormat kTarGzip{LogKind::Archive, ARCHIVE_FORMAT_TAR, ARCHIVE_FILTER_GZIP, "tar.gz"};
constexpr LogFormat kTarBzip2{LogKind::Archive, ARCHIVE_FORMAT_TAR, ARCHIVE_FILTER_BZIP2,
                              "tar.bz2"};
constexpr LogFormat kTarXz{LogKind::Archive, ARCHIVE_FORMAT_TAR, ARCHIVE_FILTER_XZ, "tar.xz"};
constexpr LogFormat kTarZstd{LogKind::Archive, ARCHIVE_FORMAT_TAR, ARCHIVE_FILTER_ZSTD, "tar.zst"};
constexpr LogFormat kPlain{LogKind::Plain, 0, ARCHIVE_FILTER_NONE, "plain"};

// The longer endings of a tar come before the compressed streams they end like.
constexpr std::array kEndings = {
    Ending{".tar.gz", kTarGzip},  Ending{".tgz", kTarGzip},  Ending{".tar.bz2", kTarBzip2},
    Ending{".tbz2", kTarBzip2},   Ending{".tar.xz", kTarXz}, Ending{".txz", kTarXz},
    Ending{".tar.zst", kTarZstd}, Ending{".tzst", kTarZstd}, Ending{".tar", kTar},
    Ending{".gz", kGzip},         Ending{".bz2", kBzip2},    Ending{".xz", kXz},
    Ending{".zst", kZstd},        Ending{".zip", kZip},      Ending{".7z", k7z},
};

struct Signature {
    std::size_t offset;
    std::string_view bytes;
    LogFormat format;
};

using namespace std::string_view_literals;

// The first bytes of each format (a tar's "ustar" stands in its first header). No IIS log starts
// with any of them: its lines are text and its first one a "#" directive.
constexpr std::array kSignatures = {
    Signature{0, "\x1f\x8b"sv, kGzip},
    Signature{0, "BZh"sv, kBzip2},
    Signature{0,
              "\xfd"
              "7zXZ\x00"sv,
              kXz},
    Signature{0, "\x28\xb5\x2f\xfd"sv, kZstd},
    Signature{0, "PK\x03\x04"sv, kZip},
    Signature{0, "PK\x05\x06"sv, kZip},
    Signature{0, "7z\xbc\xaf\x27\x1c"sv, k7z},
    Signature{257, "ustar"sv, kTar},
};

// Whether the compressed stream of `path` holds a tar: its first header, inflated.
bool holdsATar(std::string_view path, const LogFormat& stream) {
    std::unique_ptr<archive, decltype(&archive_read_free)> reader(archive_read_new(),
                                                                  &archive_read_free);
    if (!reader) {
        return false;
    }
    archive_read_support_filter_by_code(reader.get(), stream.filter);
    archive_read_support_format_raw(reader.get());
    auto file = File::openRegularForReading(std::string(path));
    if (!file) {
        return false;
    }
    std::array<char, 1 << 16> block{};
    struct Source {
        File file;
        std::array<char, 1 << 16>& block;
    } source{std::move(*file), block};
    const auto read = [](archive*, void* data, const void** bytes) -> la_ssize_t {
        auto& from = *static_cast<Source*>(data);
        *bytes = from.block.data();
        const auto got = from.file.read(from.block);
        return got ? static_cast<la_ssize_t>(*got) : ARCHIVE_FATAL;
    };
    archive_entry* entry = nullptr;
    if (archive_read_open(reader.get(), &source, nullptr, read, nullptr) != ARCHIVE_OK ||
        archive_read_next_header(reader.get(), &entry) != ARCHIVE_OK) {
        return false;
    }
    std::array<char, 262> head{};
    std::size_t got = 0;
    while (got < head.size()) {
        const la_ssize_t some =
            archive_read_data(reader.get(), head.data() + got, head.size() - got);
        if (some <= 0) {
            break;
        }
        got += static_cast<std::size_t>(some);
    }
    return got == head.size() && std::string_view(head.data() + 257, 5) == "ustar";
}

// A compressed stream that holds a tar is the tar.
LogFormat withTarInside(std::string_view path, const LogFormat& format) {
    if (format.kind != LogKind::Compressed || !holdsATar(path, format)) {
        return format;
    }
    for (const LogFormat& tar : {kTarGzip, kTarBzip2, kTarXz, kTarZstd}) {
        if (tar.filter == format.filter) {
            return tar;
        }
    }
    return format;
}

LogFormat formatByContent(std::string_view path) {
    auto file = File::openRegularForReading(std::string(path));
    if (!file) {
        return kPlain;
    }
    std::array<char, 262> head{};
    const auto got = file->read(head);
    if (!got) {
        return kPlain;
    }
    const std::string_view first(head.data(), *got);
    for (const Signature& signature : kSignatures) {
        if (first.size() >= signature.offset + signature.bytes.size() &&
            first.substr(signature.offset, signature.bytes.size()) == signature.bytes) {
            return signature.format;
        }
    }
    return kPlain;
}

} // namespace

LogFormat logFormatOf(std::string_view path) {
    for (const Ending& candidate : kEndings) {
        if (endsWithIgnoringAsciiCase(path, candidate.ending)) {
            return withTarInside(path, candidate.format);
        }
    }
    return withTarInside(path, formatByContent(path));
}

LogKind logKindOf(std::string_view path) {
    return logFormatOf(path).kind;
}

bool hasLogEnding(std::string_view name) {
    return endsWithIgnoringAsciiCase(name, ".log");
}

} // namespace trawlmeter::logs
