#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace trawlmeter::testing {

struct GeneratedLog {
    // Crawler lines per engine in the order Baidu, Google, Yahoo, Sogou, Msn.
    std::array<long, 5> crawlerLines{};
    long lines = 0;
};

// Writes an IIS log of at least `bytes` bytes: four header lines, then request lines whose
// query is "n=<line number>", every tenth from a crawler (engines in turn), the Google ones
// with a comma in the user agent. Line ends alternate between CR LF and LF.
GeneratedLog writeTestLog(const std::filesystem::path& path, std::int64_t bytes);

// The user agent the generator writes for an engine (0 Baidu … 4 Msn).
std::string crawlerAgent(int engine);

} // namespace trawlmeter::testing
