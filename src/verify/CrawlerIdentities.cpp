#include "verify/CrawlerIdentities.h"

#include "platform/AsciiCase.h"

#include <array>

namespace trawlmeter::verify {
namespace {

constexpr std::array<std::string_view, 2> kBaiduDomains{"baidu.com", "baidu.jp"};
constexpr std::array<std::string_view, 3> kGoogleDomains{"googlebot.com", "google.com",
                                                         "googleusercontent.com"};
constexpr std::array<std::string_view, 1> kYahooDomains{"crawl.yahoo.net"};
constexpr std::array<std::string_view, 1> kSogouDomains{"sogou.com"};
constexpr std::array<std::string_view, 1> kMsnDomains{"search.msn.com"};

// Google's common crawlers, its special crawlers (AdsBot and the like) and the fetchers users
// trigger all sign as Google.
constexpr std::array<std::string_view, 3> kGoogleRanges{"googlebot.json", "special-crawlers.json",
                                                        "user-triggered-fetchers.json"};
constexpr std::array<std::string_view, 1> kBingRanges{"bingbot.json"};

// Bing's ranges stand for bingbot, which does not sign as Yahoo: a line that claims Yahoo's
// crawler is Yahoo's only when its address resolves under Yahoo's own crawl domain.
constexpr std::array<CrawlerIdentity, 5> kIdentities{{
    {"baidu", kBaiduDomains, {}},
    {"google", kGoogleDomains, kGoogleRanges},
    {"yahoo", kYahooDomains, {}},
    {"sogou", kSogouDomains, {}},
    {"msn", kMsnDomains, kBingRanges},
}};

} // namespace

const CrawlerIdentity* crawlerIdentity(std::string_view table) {
    for (const auto& identity : kIdentities) {
        if (equalsIgnoringAsciiCase(identity.table, table)) {
            return &identity;
        }
    }
    return nullptr;
}

std::span<const CrawlerIdentity> crawlerIdentities() {
    return kIdentities;
}

} // namespace trawlmeter::verify
