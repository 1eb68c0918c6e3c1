#pragma once

#include <string>

namespace trawlmeter {

// The folder that holds the running executable (from /proc/self/exe), or the
// current folder when the platform cannot tell.
std::string executableFolder();

} // namespace trawlmeter
