#pragma once

#include <string>
#include <system_error>

namespace trawlmeter::split {

// Makes `path` the empty work folder of a new run: creates it, or empties the folder an
// interrupted run left (every entry directly inside it goes, write-protected chunks too, links
// as links). Refuses a link or anything but a folder at `path` without touching it, and names
// the first entry that cannot be removed in `blocking`.
[[nodiscard]] std::error_code prepareWorkFolder(const std::string& path, std::string& blocking);

} // namespace trawlmeter::split
