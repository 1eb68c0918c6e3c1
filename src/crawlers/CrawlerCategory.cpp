#include "crawlers/CrawlerCategory.h"

#include <algorithm>
#include <array>

namespace trawlmeter::crawlers {
namespace {

// In the order of the enumeration.
constexpr std::array<std::string_view, 13> kTags{
    "ai-crawler",         "scanner",      "advertising",   "social-preview", "feed-reader",
    "archiver",           "academic",     "search-engine", "monitoring",     "seo",
    "browser-automation", "http-library", "other"};
static_assert(kTags.size() == static_cast<std::size_t>(CrawlerCategory::Other) + 1);

} // namespace

std::string_view categoryTag(CrawlerCategory category) {
    return kTags[static_cast<std::size_t>(category)];
}

std::optional<CrawlerCategory> categoryOfTag(std::string_view tag) {
    // "other" is no tag of the list.
    const auto found = std::find(kTags.begin(), kTags.end() - 1, tag);
    if (found == kTags.end() - 1) {
        return std::nullopt;
    }
    return static_cast<CrawlerCategory>(found - kTags.begin());
}

CrawlerCategory categoryOfTags(const std::vector<std::string>& tags) {
    CrawlerCategory best = CrawlerCategory::Other;
    for (const auto& tag : tags) {
        if (const auto category = categoryOfTag(tag)) {
            best = std::min(best, *category);
        }
    }
    return best;
}

bool isTool(CrawlerCategory category) {
    return category == CrawlerCategory::BrowserAutomation ||
           category == CrawlerCategory::HttpLibrary;
}

} // namespace trawlmeter::crawlers
