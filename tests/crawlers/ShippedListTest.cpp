// The list as shipped, every entry of it: what a refreshed list must pass before it ships.
#include <algorithm>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "crawlers/CrawlerCatalogue.h"
#include "crawlers/CrawlerCategory.h"
#include "crawlers/CrawlerList.h"
#include "crawlers/CrawlerMatcher.h"
#include "crawlers/CrawlerName.h"

namespace trawlmeter::crawlers {
namespace {

std::vector<ListedCrawler> shippedList() {
    auto list = parseCrawlerList(shippedListJson());
    EXPECT_TRUE(list) << list.error().detail;
    return list ? std::move(*list) : std::vector<ListedCrawler>{};
}

// As IIS writes a user agent: a "+" for each space.
std::string asIisWritesIt(std::string userAgent) {
    std::replace(userAgent.begin(), userAgent.end(), ' ', '+');
    return userAgent;
}

TEST(ShippedListTest, EveryTagIsOneTheCategoriesKnow) {
    // A new tag would put its crawlers among "other" unseen: give it a category first.
    for (const ListedCrawler& entry : shippedList()) {
        EXPECT_FALSE(entry.tags.empty()) << entry.pattern;
        for (const std::string& tag : entry.tags) {
            EXPECT_TRUE(categoryOfTag(tag)) << entry.pattern << ": " << tag;
        }
    }
    EXPECT_FALSE(shippedListVersion().empty());
}

TEST(ShippedListTest, EveryNameIsShortPrintableAndFreeOfPatternSyntax) {
    const auto list = shippedList();
    ASSERT_GT(list.size(), 1000u);
    for (const ListedCrawler& entry : list) {
        const std::string name = crawlerNameOf(entry.pattern, entry.description);
        ASSERT_FALSE(name.empty()) << entry.pattern;
        EXPECT_LE(name.size(), kMaxNameSize) << entry.pattern;
        EXPECT_NE(name, "unnamed crawler") << entry.pattern;
        for (const char c : name) {
            EXPECT_TRUE(c >= ' ' && c < 0x7f) << entry.pattern << " -> " << name;
            EXPECT_EQ(std::string_view("\\[](){}|^$*+?/").find(c), std::string_view::npos)
                << entry.pattern << " -> " << name;
        }
        EXPECT_NE(name.front(), ' ');
        EXPECT_NE(name.back(), ' ');
    }
}

TEST(ShippedListTest, EveryPatternIsTakenByTheMatcher) {
    auto catalogue = CrawlerCatalogue::shipped();
    ASSERT_TRUE(catalogue);
    auto matcher = CrawlerMatcher::build(std::move(*catalogue));
    ASSERT_TRUE(matcher) << matcher.error().detail;
    for (const auto& refusal : matcher->refused()) {
        ADD_FAILURE() << matcher->catalogue().crawlers()[refusal.crawler].pattern << ": "
                      << refusal.reason;
    }
}

// The list's own examples that another crawler's pattern matches too, and the crawler the pick
// gives them: the list has no depends_on for them and each reading is defensible.
const std::map<std::string, std::string> kClaimedByAnother{
    // Siteimprove's crawler names itself SiteCheck-sitecrawl first, an entry of its own.
    {"Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.1; Trident/6.0) SiteCheck-sitecrawl by "
     "Siteimprove.com",
     "SiteCheck-sitecrawl"},
    // VirusTotal's fetches run on Google App Engine and say so first.
    {"Mozilla/5.0 (Windows; U; MSIE 9.0; Windows NT 9.0; en-US) AppEngine-Google; "
     "(+http://code.google.com/appengine; appid: s~virustotalcloud)",
     "AppEngine-Google"},
    {"AppEngine-Google; (+http://code.google.com/appengine; appid: s~virustotalcloud)",
     "AppEngine-Google"},
    // The Wayback Machine's live record comes from the archive.org crawler.
    {"Mozilla/5.0 (compatible; archive.org_bot; Wayback Machine Live Record; "
     "+http://archive.org/details/archive.org_bot)",
     "archive.org_bot"},
    // Puppeteer drives headless Chrome, and both are tools.
    {"Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
     "HeadlessChrome/120.0.0.0 Safari/537.36 Puppeteer",
     "HeadlessChrome"},
    // Specificfeeds fetches through FeedBurner, named first.
    {"FeedBurner/1.0 (http://www.FeedBurner.com) Mozilla/5.0 (Macintosh; Intel Mac OS X "
     "10_11_6) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/63.0.3239.132 Safari/537.36 "
     "Specificfeeds",
     "FeedBurner"},
};

TEST(ShippedListTest, EveryExampleIsClaimedByItsOwnCrawlerAsIisWritesIt) {
    const auto list = shippedList();
    auto matcher = CrawlerMatcher::build(CrawlerCatalogue::fromList(list));
    ASSERT_TRUE(matcher) << matcher.error().detail;
    std::map<std::string, std::string> claimedByAnother;
    std::size_t examples = 0;
    for (const ListedCrawler& entry : list) {
        const std::string name = crawlerNameOf(entry.pattern, entry.description);
        for (const std::string& example : entry.instances) {
            ++examples;
            const auto crawler = matcher->match(asIisWritesIt(example));
            ASSERT_TRUE(crawler) << crawler.error().detail;
            if (*crawler == nullptr) {
                ADD_FAILURE() << entry.pattern << " misses " << example;
            } else if ((*crawler)->name != name) {
                claimedByAnother.emplace(example, (*crawler)->name);
            }
        }
    }
    EXPECT_GT(examples, 2000u);
    EXPECT_EQ(claimedByAnother, kClaimedByAnother);
}

} // namespace
} // namespace trawlmeter::crawlers
