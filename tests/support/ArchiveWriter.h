#pragma once

#include <archive_entry.h>

#include <filesystem>
#include <string>
#include <vector>

namespace trawlmeter::testing {

struct Member {
    std::string name;
    std::string content;
    unsigned type = AE_IFREG;
};

// How an archive is written: libarchive's names of a format ("zip", "7zip", "gnutar", "pax"), of
// a compression filter around it, and its write options ("hdrcharset=CP936").
struct ArchiveFormat {
    std::string format = "zip";
    std::string filter;
    std::string options;
};

// Writes an archive through libarchive, which takes names no command-line tool would store
// ("../../x.log", absolute paths). A link member points at /etc/passwd. Names are given in
// UTF-8.
void writeArchive(const std::filesystem::path& path, const std::vector<Member>& members,
                  const ArchiveFormat& format);

inline void writeZip(const std::filesystem::path& path, const std::vector<Member>& members) {
    writeArchive(path, members, {});
}

// Writes `from` gzip'd into `to` as `gzip -n` does (no name, no time), through zlib: Windows has
// no gzip program.
void writeGzip(const std::filesystem::path& from, const std::filesystem::path& to);

} // namespace trawlmeter::testing
