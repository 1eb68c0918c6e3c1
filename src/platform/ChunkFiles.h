#pragma once

#include "platform/FileHandle.h"

#include <tl/expected.hpp>

#include <cstdint>
#include <string>
#include <system_error>

namespace trawlmeter {

struct SourceFile {
    FileHandle file;
    std::int64_t length;
};

// Opens a regular file for reading and takes its length once. Refuses a missing file, a folder,
// a device or a pipe with the reason.
[[nodiscard]] tl::expected<SourceFile, std::error_code> openSourceFile(const std::string& path);

// Opens `path` for writing as an empty plain file. An existing plain file is truncated; a
// link, a second name of another file or a pipe at that name is removed and a new file made,
// so a chunk is never written through to a file elsewhere. The reason when the file cannot be
// made (no folder, no right, a write-protected file: such a file is not forced).
[[nodiscard]] tl::expected<FileHandle, std::error_code> createChunkFile(const std::string& path);

} // namespace trawlmeter
