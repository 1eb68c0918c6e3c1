#pragma once

#include "logs/LogFormat.h"
#include "platform/Failure.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace trawlmeter::logs {

// One log: a whole file, or one member of an archive. A member's name is only ever a label; it
// never becomes a path on disk, and the member is found again by its position.
struct LogEntry {
    std::string path;
    std::string member;            // empty for a whole file
    std::int64_t memberIndex = -1; // position among all the archive's entries; -1 for a whole file

    // The path, or "path:member".
    [[nodiscard]] std::string label() const;
};

// The logs `path` stands for. A plain or compressed file is one log and is not opened here; an
// archive stands for its regular-file members whose names end in .log (any case), in the byte
// order of their names. Fails when the archive or one of its headers cannot be read. A failure
// of a log names the file, or the file and member ("/logs/may.zip:u_ex0501.log"), and carries
// libarchive's words where it said any ("ZIP bad CRC: 0x6b699fe6 should be …").
[[nodiscard]] Expected<std::vector<LogEntry>> listLogs(const std::string& path);

// Whether reading one member of the archive at `path` to its end also checks it, as a zip's and
// a 7z's CRC does. A tar's members are checked only as a whole: the compression around it ends
// after the last member.
[[nodiscard]] bool membersCheckThemselves(const std::string& path);

// Reads every log of a compressed file or archive to its end and keeps nothing, so a caller can
// make sure an archive decompresses in full before it uses any member. Costs one full
// decompression, in one pass in the archive's own order; a plain file passes unread.
// `keepGoing` runs after every block read; false from it ends the reading early, and the
// result is then false.
[[nodiscard]] Expected<bool> verifyLogs(
    const std::string& path, const std::function<bool()>& keepGoing = [] { return true; });

} // namespace trawlmeter::logs
