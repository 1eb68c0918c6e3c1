#pragma once

#include <span>
#include <string_view>

namespace trawlmeter::verify {

// What proves that a client address is an engine's crawler: the domains its host names lie
// under, and the files of address ranges the engine publishes for its crawlers. The engines'
// own table gives them; the spans must outlive their use.
struct CrawlerIdentity {
    // The engine's table in the visit database.
    std::string_view table;
    std::span<const std::string_view> domains;
    // Read from the program folder; none where the engine publishes no ranges.
    std::span<const std::string_view> rangeFiles;
};

} // namespace trawlmeter::verify
