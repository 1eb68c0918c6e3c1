#include "crawlers/CrawlerCatalogue.h"

#include <algorithm>
#include <unordered_map>

#include "crawlers/CrawlerName.h"

namespace trawlmeter::crawlers {

CrawlerCatalogue CrawlerCatalogue::fromList(const std::vector<ListedCrawler>& list) {
    CrawlerCatalogue catalogue;
    std::unordered_map<std::string_view, std::size_t> positions;
    for (std::size_t i = 0; i < list.size(); ++i) {
        // The first of equal patterns; the list has none.
        positions.emplace(list[i].pattern, i);
        Crawler crawler{list[i].pattern,
                        crawlerNameOf(list[i].pattern, list[i].description),
                        categoryOfTags(list[i].tags),
                        {}};
        const auto [known, added] = catalogue.m_categories.emplace(crawler.name, crawler.category);
        if (!added) {
            known->second = std::min(known->second, crawler.category);
        }
        catalogue.m_crawlers.push_back(std::move(crawler));
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        Crawler& crawler = catalogue.m_crawlers[i];
        crawler.category = catalogue.m_categories.find(crawler.name)->second;
        for (const std::string& pattern : list[i].dependsOn) {
            if (const auto base = positions.find(pattern);
                base != positions.end() && base->second != i) {
                crawler.buildsOn.push_back(base->second);
            }
        }
    }
    return catalogue;
}

Expected<CrawlerCatalogue> CrawlerCatalogue::shipped() {
    return parseCrawlerList(shippedListJson()).map(&CrawlerCatalogue::fromList);
}

std::optional<CrawlerCategory> CrawlerCatalogue::categoryOf(std::string_view name) const {
    const auto found = m_categories.find(name);
    if (found == m_categories.end()) {
        return std::nullopt;
    }
    return found->second;
}

} // namespace trawlmeter::crawlers
