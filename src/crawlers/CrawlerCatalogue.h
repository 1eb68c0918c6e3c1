#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crawlers/CrawlerCategory.h"
#include "crawlers/CrawlerList.h"
#include "platform/Failure.h"

namespace trawlmeter::crawlers {

// A crawler of the list as the program counts it.
struct Crawler {
    std::string pattern;
    // As crawlerNameOf gives it; entries may share a name.
    std::string name;
    // From the tags of every entry with this name (see CrawlerCatalogue), so that a name has one.
    CrawlerCategory category = CrawlerCategory::Other;
    // The positions of the entries this one is built on (the list's depends_on): a user agent
    // that both match is this one's.
    std::vector<std::size_t> buildsOn;
};

// Every crawler of a list, in the list's order, with its name and category.
class CrawlerCatalogue {
public:
    // The crawlers of `list`. A name's category is the first in precedence among the tags of all
    // the entries that have that name, so that it is one whatever entry a visit came from. A
    // depends_on that names no pattern of the list is ignored.
    static CrawlerCatalogue fromList(const std::vector<ListedCrawler>& list);
    // The list compiled in at build time; fails only when that text is damaged.
    [[nodiscard]] static Expected<CrawlerCatalogue> shipped();

    const std::vector<Crawler>& crawlers() const { return m_crawlers; }
    // The category of the crawlers with this name, nullopt for a name no crawler has.
    std::optional<CrawlerCategory> categoryOf(std::string_view name) const;

private:
    std::vector<Crawler> m_crawlers;
    std::map<std::string, CrawlerCategory, std::less<>> m_categories;
};

} // namespace trawlmeter::crawlers
