#include "support/ArchiveWriter.h"

#include <archive.h>
#include <gtest/gtest.h>

#include "platform/TextEncoding.h"

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

} // namespace trawlmeter::testing
