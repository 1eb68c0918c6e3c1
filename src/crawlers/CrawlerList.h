#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/Failure.h"

namespace trawlmeter::crawlers {

// One entry of the list of known crawlers as the list gives it.
struct ListedCrawler {
    // A regular expression that finds the crawler in a user agent.
    std::string pattern;
    std::string description;
    // User agents the crawler is known to send.
    std::vector<std::string> instances;
    // What kind of crawler it is: "search-engine", "ai-crawler", "seo", ...
    std::vector<std::string> tags;
    // The patterns of entries this crawler is built on, whose pattern its user agents match too.
    std::vector<std::string> dependsOn;
};

// The list compiled in at build time, as its JSON text, and its version.
std::string_view shippedListJson();
std::string_view shippedListVersion();

// The entries of a list in its JSON form, in its order. Fails with the reason when the text is
// not such a list: not JSON, not an array of objects, or an entry without a pattern or with a
// field of another type. Fields it does not know are ignored.
[[nodiscard]] Expected<std::vector<ListedCrawler>> parseCrawlerList(std::string_view json);

} // namespace trawlmeter::crawlers
