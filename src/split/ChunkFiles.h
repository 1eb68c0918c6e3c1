#pragma once

#include "split/FileHandle.h"

#include <cstdint>
#include <optional>
#include <string>

namespace trawlmeter::split {

struct SourceFile {
    FileHandle file;
    std::int64_t length;
};

// Opens a regular file for reading and takes its length once. Nothing for a missing file, a
// folder, a device or a pipe.
std::optional<SourceFile> openSourceFile(const std::string& path);

// Opens `path` for writing as an empty plain file. An existing plain file is truncated; a
// link, a second name of another file or a pipe at that name is removed and a new file made,
// so a chunk is never written through to a file elsewhere. Nothing when the file cannot be
// made (no folder, no right, a write-protected file: such a file is not forced).
std::optional<FileHandle> createChunkFile(const std::string& path);

} // namespace trawlmeter::split
