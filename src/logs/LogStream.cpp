#include "logs/LogStream.h"

#include <cstdio>
#include <system_error>
#include <utility>
#include <vector>

#include <archive.h>
#include <archive_entry.h>

#include "logs/GzipInflater.h"
#include "platform/File.h"
#include "platform/Problem.h"
#include "platform/TextEncoding.h"

namespace trawlmeter::logs {
namespace {

constexpr std::size_t kBlockBytes = 1 << 20;

// What libarchive said, trimmed; empty where it says nothing, as for some endings (a gzip
// trailer cut short, a 7z cut in half).
std::string libarchiveWords(archive* handle) {
    const char* text = archive_error_string(handle);
    std::string words = text ? text : "";
    while (!words.empty() && (words.back() == '\n' || words.back() == ' ')) {
        words.pop_back();
    }
    return words;
}

void enableFormat(archive* handle, const LogFormat& format) {
    // gzip is inflated before libarchive reads (GzipInflater), which checks what libarchive
    // does not: each member's CRC-32 and length.
    if (format.filter != ARCHIVE_FILTER_NONE && format.filter != ARCHIVE_FILTER_GZIP) {
        archive_read_support_filter_by_code(handle, format.filter);
    }
    switch (format.kind) {
    case LogKind::Compressed:
    case LogKind::Plain:
        archive_read_support_format_raw(handle);
        // The raw format takes no empty input; an empty log is an archive of no entries.
        archive_read_support_format_empty(handle);
        break;
    case LogKind::Archive:
        if (format.archive == ARCHIVE_FORMAT_ZIP) {
            // Seeks to a member through the central directory instead of inflating those before.
            archive_read_support_format_zip_seekable(handle);
#ifdef _WIN32
            // libarchive on Windows reads names without the UTF-8 flag in the system's code
            // page, which is 936 only on a Chinese Windows: read as ISO-8859-1, one character
            // per byte, their bytes come back whole to be decoded as everywhere else.
            (void)archive_read_set_format_option(handle, "zip", "hdrcharset", "ISO-8859-1");
#endif
        } else if (format.archive == ARCHIVE_FORMAT_7ZIP) {
            archive_read_support_format_7zip(handle);
        } else {
            archive_read_support_format_tar(handle);
        }
        break;
    }
}

// A member's name as UTF-8, the one place where names are decoded. libarchive gives as UTF-8
// what the archive says is Unicode (a 7z's names, a zip's with the UTF-8 flag, a pax header's).
// Without that flag a zip's names are in the code page of the system that made it: UTF-8 from
// most tools outside Windows, and the code page of a Chinese Windows (936) from the tools on
// it, whose bytes are hardly ever UTF-8 by chance. Bytes of neither are kept as they are: the
// name is a label, and the messages show odd bytes escaped. Nothing when there is no name.
// Where libarchive gives no UTF-8 (it does not on Windows) its wide name is the Unicode one.
std::string nameOfBytes(const std::string& raw) {
    if (text::isUtf8(raw)) {
        return raw;
    }
    return text::utf8FromCodePage936(raw).value_or(raw);
}

#ifdef _WIN32
// The bytes of a name read as ISO-8859-1 (enableFormat) when they are UTF-8 or code page 936
// beyond ASCII; nothing for any other name. A name with the UTF-8 flag made only of characters
// of ISO-8859-1 that happen to spell such bytes would be taken for them too; hardly any is.
std::optional<std::string> bytesOfLatin1(std::wstring_view wide) {
    std::string bytes;
    bool beyondAscii = false;
    for (const wchar_t character : wide) {
        if (character > 0xff) {
            return std::nullopt;
        }
        beyondAscii = beyondAscii || character >= 0x80;
        bytes += static_cast<char>(character);
    }
    if (!beyondAscii || !(text::isUtf8(bytes) || text::utf8FromCodePage936(bytes))) {
        return std::nullopt;
    }
    return bytes;
}
#endif

std::optional<std::string> memberName(archive_entry* entry) {
#ifdef _WIN32
    if (const wchar_t* wide = archive_entry_pathname_w(entry)) {
        if (const auto bytes = bytesOfLatin1(wide)) {
            return nameOfBytes(*bytes);
        }
    }
#endif
    if (const char* unicode = archive_entry_pathname_utf8(entry)) {
        return unicode;
    }
    if (const wchar_t* wide = archive_entry_pathname_w(entry)) {
        if (auto converted = text::utf8FromWide(wide)) {
            return converted;
        }
    }
    const char* raw = archive_entry_pathname(entry);
    if (!raw) {
        return std::nullopt;
    }
    return nameOfBytes(raw);
}

} // namespace

// The file libarchive reads through the callbacks below, and the block it reads into. It stays
// at one place in memory however the stream is moved.
struct LogSource {
    explicit LogSource(File opened) : file(std::move(opened)) {}

    File file;
    std::vector<char> block = std::vector<char>(kBlockBytes);
    // For a gzip file or a tar in one: what libarchive reads is inflated here first.
    std::optional<GzipInflater> gunzip;
    // Why reading the file failed, which says more than libarchive's account of it.
    std::optional<Failure> failure;

    void failRead(archive* handle, const Failure& reason) {
        failure = reason;
        archive_set_error(handle, reason.code.value(), "%s", reason.code.message().c_str());
    }

    // Why libarchive gave up.
    Failure failureOf(archive* handle) const {
        if (failure) {
            return *failure;
        }
        if (auto words = libarchiveWords(handle); !words.empty()) {
            return {Problem::DamagedLog, {}, std::move(words)};
        }
        const int error = archive_errno(handle);
        return error > 0 ? Failure{{error, std::generic_category()}, {}, {}}
                         : Failure{Problem::DamagedLog, {}, {}};
    }

    static la_ssize_t read(archive* handle, void* source, const void** block) {
        auto& self = *static_cast<LogSource*>(source);
        const auto got = self.gunzip ? self.gunzip->read(self.block) : self.file.read(self.block);
        if (!got) {
            self.failRead(handle, got.error());
            return ARCHIVE_FATAL;
        }
        *block = self.block.data();
        return static_cast<la_ssize_t>(*got);
    }

    // Skips whole blocks forward, as libarchive's own reader of a descriptor does.
    static la_int64_t skip(archive*, void* source, la_int64_t request) {
        auto& self = *static_cast<LogSource*>(source);
        if (self.gunzip) {
            return 0;
        }
        const auto whole =
            request / static_cast<la_int64_t>(kBlockBytes) * static_cast<la_int64_t>(kBlockBytes);
        if (whole == 0) {
            return 0;
        }
        const auto before = self.file.seek(0, File::From::Current);
        const auto after = before ? self.file.seek(whole, File::From::Current) : before;
        // Without a seek libarchive reads and drops the bytes instead.
        return after ? *after - *before : 0;
    }

    static la_int64_t seek(archive* handle, void* source, la_int64_t offset, int whence) {
        auto& self = *static_cast<LogSource*>(source);
        const auto from = whence == SEEK_SET   ? File::From::Start
                          : whence == SEEK_CUR ? File::From::Current
                                               : File::From::End;
        const auto position = self.file.seek(offset, from);
        if (!position) {
            self.failRead(handle, position.error());
            return ARCHIVE_FATAL;
        }
        return *position;
    }
};

void LogStream::ArchiveFree::operator()(archive* handle) const {
    archive_read_free(handle);
}

LogStream::LogStream(std::string path, LogFormat format, std::unique_ptr<LogSource> source,
                     std::unique_ptr<archive, ArchiveFree> handle)
    : m_path(std::move(path)), m_format(format), m_source(std::move(source)),
      m_archive(std::move(handle)) {}

LogStream::LogStream(LogStream&&) noexcept = default;
LogStream::~LogStream() = default;

Expected<LogStream> LogStream::open(const std::string& path) {
    // Some formats read their first names as they open.
    const text::Utf8Locale utf8Names;
    const LogFormat format = logFormatOf(path);
    // A pipe with a log's name must not hang the open.
    auto file = File::openRegularForReading(path);
    if (!file) {
        return tl::unexpected(file.error());
    }
    auto source = std::make_unique<LogSource>(std::move(*file));
    if (format.filter == ARCHIVE_FILTER_GZIP) {
        source->gunzip.emplace(source->file);
    }
    std::unique_ptr<archive, ArchiveFree> handle(archive_read_new());
    if (!handle) {
        return fail(std::make_error_code(std::errc::not_enough_memory), path);
    }
    enableFormat(handle.get(), format);
    archive_read_set_callback_data(handle.get(), source.get());
    archive_read_set_read_callback(handle.get(), &LogSource::read);
    archive_read_set_skip_callback(handle.get(), &LogSource::skip);
    if (!source->gunzip) {
        archive_read_set_seek_callback(handle.get(), &LogSource::seek);
    }
    if (archive_read_open1(handle.get()) != ARCHIVE_OK) {
        Failure failure = source->failureOf(handle.get());
        failure.subject = path;
        return tl::unexpected(std::move(failure));
    }
    if (format.filter != ARCHIVE_FILTER_NONE && !source->gunzip) {
        // Without the filter's signature libarchive reads the file as it is.
        const int filters = archive_filter_count(handle.get());
        if (filters < 2 || archive_filter_code(handle.get(), 0) != format.filter) {
            return fail(Problem::WrongFormat, path, std::string(format.name));
        }
        if (filters > 2) {
            return fail(Problem::StreamInStream, path, std::string(format.name));
        }
    }
    return LogStream(path, format, std::move(source), std::move(handle));
}

tl::unexpected<Failure> LogStream::failWith(Failure failure) {
    failure.subject = m_label.empty() ? m_path : m_label;
    m_failure = std::move(failure);
    return tl::unexpected(*m_failure);
}

tl::unexpected<Failure> LogStream::failedInLibarchive() {
    return failWith(m_source->failureOf(m_archive.get()));
}

Expected<std::optional<LogStream::Member>> LogStream::nextMember() {
    if (m_failure) {
        return tl::unexpected(*m_failure);
    }
    const bool wholeFile = m_format.kind != LogKind::Archive;
    if (wholeFile && m_index >= 0) {
        return std::nullopt;
    }
    ++m_index;
    m_label = m_path;
    m_declaredSize = -1;
    m_delivered = 0;
    m_encrypted = false;
    m_ended = false;

    // Names come as UTF-8 whatever the process locale.
    const text::Utf8Locale utf8Names;
    archive_entry* entry = nullptr;
    const int status = archive_read_next_header(m_archive.get(), &entry);
    // A warning on a header (a name in an unknown character set) leaves the data readable.
    if (status != ARCHIVE_OK && status != ARCHIVE_WARN && status != ARCHIVE_EOF) {
        return failedInLibarchive();
    }
    m_hasData = status != ARCHIVE_EOF;
    if (wholeFile) {
        return Member{-1, "", true};
    }
    if (status == ARCHIVE_EOF) {
        return std::nullopt;
    }
    auto name = memberName(entry);
    if (!name) {
        // Left out, it would be a log missing without a word.
        const std::string words = libarchiveWords(m_archive.get());
        return failWith({Problem::DamagedLog,
                         {},
                         "member " + std::to_string(m_index + 1) + " has no readable name" +
                             (words.empty() ? "" : ": " + words)});
    }
    Member member{m_index, std::move(*name), false};
    member.isLog = archive_entry_filetype(entry) == AE_IFREG && !archive_entry_hardlink(entry) &&
                   hasLogEnding(member.name);
    m_label = m_path + ":" + member.name;
    if (archive_entry_size_is_set(entry)) {
        m_declaredSize = archive_entry_size(entry);
    }
    m_encrypted = archive_entry_is_encrypted(entry) != 0;
    return member;
}

Expected<std::span<const char>> LogStream::nextBlock() {
    if (m_failure) {
        return tl::unexpected(*m_failure);
    }
    while (m_hasData && !m_ended) {
        const void* data = nullptr;
        std::size_t size = 0;
        la_int64_t offset = 0;
        const int status = archive_read_data_block(m_archive.get(), &data, &size, &offset);
        if (status == ARCHIVE_EOF) {
            break;
        }
        // A warning here is a checksum or size that does not match: the data is wrong.
        if (status != ARCHIVE_OK) {
            if (m_encrypted) {
                return failWith({Problem::EncryptedEntry, {}, libarchiveWords(m_archive.get())});
            }
            return failedInLibarchive();
        }
        if (offset != m_delivered) {
            return failWith({Problem::SparseEntry, {}, {}});
        }
        if (size == 0) {
            continue;
        }
        const std::span<const char> block(static_cast<const char*>(data), size);
        // libarchive would have taken a stream inside its own for the stream it is.
        if (m_delivered == 0 && m_source->gunzip && m_format.kind == LogKind::Compressed &&
            size >= 2 && block[0] == '\x1f' && block[1] == '\x8b') {
            return failWith({Problem::StreamInStream, {}, std::string(m_format.name)});
        }
        m_delivered += static_cast<std::int64_t>(size);
        return block;
    }
    return finishEntry();
}

Expected<std::span<const char>> LogStream::finishEntry() {
    if (m_ended) {
        return std::span<const char>();
    }
    if (m_declaredSize >= 0 && m_delivered != m_declaredSize) {
        return failWith({Problem::ShortEntry,
                         {},
                         std::to_string(m_delivered) + " of the " + std::to_string(m_declaredSize) +
                             " bytes its header gives"});
    }
    m_ended = true;
    return std::span<const char>();
}

} // namespace trawlmeter::logs
