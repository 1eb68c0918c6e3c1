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

// Writes a zip through libarchive, which takes names no command-line tool would store
// ("../../x.log", absolute paths). A link member points at /etc/passwd.
void writeZip(const std::filesystem::path& path, const std::vector<Member>& members);

} // namespace trawlmeter::testing
