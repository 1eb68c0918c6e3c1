#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trawlmeter::split {

// The work folder beside the program and the base name of the chunk files in it.
inline constexpr std::string_view kWorkFolderName = "temp";
inline constexpr std::string_view kChunkBaseName = "rezOve";

// The work folder of a program folder: the folder, "/" and kWorkFolderName.
std::string workFolderPath(std::string_view programFolder);
// A file in the work folder, by its name.
std::string chunkPath(std::string_view programFolder, std::string_view name);
// The chunk files' path without the dot and number: the work folder, "/" and kChunkBaseName.
std::string chunkBasePath(std::string_view programFolder);

// `base`, a dot and `number` with at least three digits: base.000 … base.999, base.1000.
std::string chunkFileName(std::string_view base, std::int64_t number);
// The name of chunk `number` in the work folder: kChunkBaseName, a dot and the number.
std::string chunkName(std::int64_t number);

// Chunk names ("rezOve." and three or more digits) first, by number however many digits it
// has, then every other name in name order.
void sortInSplitOrder(std::vector<std::string>& names);

} // namespace trawlmeter::split
