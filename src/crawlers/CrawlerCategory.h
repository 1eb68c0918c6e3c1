#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trawlmeter::crawlers {

// What a crawler does, from the tags of the list. In order of precedence: a crawler with several
// tags takes the first of them here. AI crawlers come first, as operators count them apart;
// then the crawlers with the narrower purpose before the broader ones; the tools crawlers are
// built with (browser automation, HTTP libraries) come last.
enum class CrawlerCategory {
    AiCrawler,
    Scanner,
    Advertising,
    SocialPreview,
    FeedReader,
    Archiver,
    Academic,
    SearchEngine,
    Monitoring,
    Seo,
    BrowserAutomation,
    HttpLibrary,
    // No tag the program knows.
    Other,
};

// The list's tag for the category ("ai-crawler", "search-engine", ...), "other" for Other.
std::string_view categoryTag(CrawlerCategory category);

// The category a tag of the list stands for; nullopt for a tag the program does not know.
std::optional<CrawlerCategory> categoryOfTag(std::string_view tag);

// The category of a crawler with these tags: the known one first in precedence, else Other.
CrawlerCategory categoryOfTags(const std::vector<std::string>& tags);

// A tool crawlers are built with rather than a crawler of its own.
bool isTool(CrawlerCategory category);

} // namespace trawlmeter::crawlers
