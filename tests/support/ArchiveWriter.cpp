#include "support/ArchiveWriter.h"

#include <archive.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>

#include "platform/TextEncoding.h"
#include "support/TestFolder.h"

namespace trawlmeter::testing {

void writeArchive(const std::filesystem::path& path, const std::vector<Member>& members,
                  const ArchiveFormat& format) {
    // libarchive converts the names from the current character set.
    const text::Utf8Locale utf8Names;
    archive* writer = archive_write_new();
    ASSERT_EQ(archive_write_set_format_by_name(writer, format.format.c_str()), ARCHIVE_OK);
    if (!format.filter.empty()) {
        ASSERT_EQ(archive_write_add_filter_by_name(writer, format.filter.c_str()), ARCHIVE_OK);
    }
    if (!format.options.empty()) {
        ASSERT_EQ(archive_write_set_options(writer, format.options.c_str()), ARCHIVE_OK);
    }
#ifdef _WIN32
    ASSERT_EQ(archive_write_open_filename_w(writer, path.c_str()), ARCHIVE_OK);
#else
    ASSERT_EQ(archive_write_open_filename(writer, path.c_str()), ARCHIVE_OK);
#endif
    for (const Member& member : members) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, member.name.c_str());
        archive_entry_set_filetype(entry, member.type);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, static_cast<la_int64_t>(member.content.size()));
        if (member.type == AE_IFLNK) {
            archive_entry_set_symlink(entry, "/etc/passwd");
        }
        EXPECT_EQ(archive_write_header(writer, entry), ARCHIVE_OK);
        archive_write_data(writer, member.content.data(), member.content.size());
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
}

void writeGzip(const std::filesystem::path& from, const std::filesystem::path& to) {
    const std::string content = readWholeFile(from);
    z_stream stream{};
    // 16 beyond the window's bits asks for the gzip wrapper.
    ASSERT_EQ(deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, MAX_WBITS + 16, 8,
                           Z_DEFAULT_STRATEGY),
              Z_OK);
    std::string gzipped(deflateBound(&stream, static_cast<uInt>(content.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
    stream.avail_in = static_cast<uInt>(content.size());
    stream.next_out = reinterpret_cast<Bytef*>(gzipped.data());
    stream.avail_out = static_cast<uInt>(gzipped.size());
    const int status = deflate(&stream, Z_FINISH);
    gzipped.resize(gzipped.size() - stream.avail_out);
    deflateEnd(&stream);
    ASSERT_EQ(status, Z_STREAM_END);
    std::ofstream out(to, std::ios::binary);
    out.write(gzipped.data(), static_cast<std::streamsize>(gzipped.size()));
    ASSERT_TRUE(out.flush()) << to;
}

} // namespace trawlmeter::testing
