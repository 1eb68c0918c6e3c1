#include "crawlers/CrawlerMatcher.h"

#include <gtest/gtest.h>

namespace trawlmeter::crawlers {
namespace {

class CrawlerMatcherTest : public testing::Test {
protected:
    // A matcher over a list of these patterns alone.
    static CrawlerMatcher matcherOf(std::initializer_list<const char*> patterns) {
        std::vector<ListedCrawler> list;
        for (const char* pattern : patterns) {
            list.push_back(ListedCrawler{pattern, {}, {}, {}, {}});
        }
        auto matcher = CrawlerMatcher::build(CrawlerCatalogue::fromList(list));
        EXPECT_TRUE(matcher) << matcher.error().detail;
        return std::move(*matcher);
    }

    static CrawlerMatcher shippedMatcher() {
        auto catalogue = CrawlerCatalogue::shipped();
        EXPECT_TRUE(catalogue);
        auto matcher = CrawlerMatcher::build(std::move(*catalogue));
        EXPECT_TRUE(matcher) << matcher.error().detail;
        return std::move(*matcher);
    }

    // The name of the crawler the user agent belongs to, "" for none.
    static std::string nameOf(CrawlerMatcher& matcher, std::string_view userAgent) {
        const auto crawler = matcher.match(userAgent);
        EXPECT_TRUE(crawler) << crawler.error().detail;
        return crawler && *crawler ? (*crawler)->name : "";
    }
};

TEST_F(CrawlerMatcherTest, AUserAgentWithPlusForSpacesMatchesAsTheListWritesIt) {
    CrawlerMatcher matcher = shippedMatcher();
    // The patterns hold spaces.
    EXPECT_EQ(
        nameOf(matcher, "Mozilla/5.0+(compatible;+SISTRIX+Crawler;++http://crawler.sistrix.net/)"),
        "sistrix Crawler");
    EXPECT_EQ(nameOf(matcher, "Screaming+Frog+SEO+Spider/19.0"), "Screaming Frog SEO Spider");
    // A pattern with a plus of its own, which IIS leaves as it is.
    const char* snippet = "Mozilla/5.0+(X11;+Linux+x86_64)+AppleWebKit/537.36+(KHTML,+like+Gecko)+"
                          "Chrome/56.0.2924.87+Safari/537.36+Google+"
                          "(+https://developers.google.com/+/web/snippet/)";
    EXPECT_EQ(nameOf(matcher, snippet), "developers.google.com");
    // Written with spaces, as other servers do.
    EXPECT_EQ(
        nameOf(matcher, "Mozilla/5.0 (compatible; SISTRIX Crawler; http://crawler.sistrix.net/)"),
        "sistrix Crawler");
}

TEST_F(CrawlerMatcherTest, OrdinaryBrowsersAreNoCrawlers) {
    CrawlerMatcher matcher = shippedMatcher();
    const char* browsers[] = {
        "Mozilla/5.0+(Windows+NT+10.0;+Win64;+x64)+AppleWebKit/537.36+(KHTML,+like+Gecko)+"
        "Chrome/124.0.0.0+Safari/537.36",
        "Mozilla/5.0+(Windows+NT+10.0;+Win64;+x64)+AppleWebKit/537.36+(KHTML,+like+Gecko)+"
        "Chrome/124.0.0.0+Safari/537.36+Edg/124.0.2478.80",
        "Mozilla/5.0+(Macintosh;+Intel+Mac+OS+X+10_15_7)+AppleWebKit/605.1.15+(KHTML,+like+Gecko)+"
        "Version/17.4.1+Safari/605.1.15",
        "Mozilla/5.0+(X11;+Ubuntu;+Linux+x86_64;+rv:125.0)+Gecko/20100101+Firefox/125.0",
        "Mozilla/5.0+(iPhone;+CPU+iPhone+OS+17_4_1+like+Mac+OS+X)+AppleWebKit/605.1.15+(KHTML,+"
        "like+Gecko)+Version/17.4.1+Mobile/15E148+Safari/604.1",
        "Mozilla/5.0+(Linux;+Android+14;+SM-S918B)+AppleWebKit/537.36+(KHTML,+like+Gecko)+"
        "SamsungBrowser/24.0+Chrome/117.0.0.0+Mobile+Safari/537.36",
        "Mozilla/5.0+(Linux;+Android+10;+K)+AppleWebKit/537.36+(KHTML,+like+Gecko)+"
        "Chrome/124.0.0.0+Mobile+Safari/537.36+OPR/81.0.4196.61",
        "Mozilla/5.0+(Windows+NT+6.1;+WOW64;+Trident/7.0;+rv:11.0)+like+Gecko",
        "Mozilla/4.0+(compatible;+MSIE+8.0;+Windows+NT+6.1;+Trident/4.0;+.NET+CLR+2.0.50727)",
        "Mozilla/5.0+(Linux;+U;+Android+4.4.2;+zh-cn;+HUAWEI+MT7-TL00+Build/HuaweiMT7-TL00)+"
        "AppleWebKit/533.1+(KHTML,+like+Gecko)+Version/4.0+MQQBrowser/5.3+Mobile+Safari/537.36",
        "-",
        "",
    };
    for (const char* browser : browsers) {
        EXPECT_EQ(nameOf(matcher, browser), "") << browser;
    }
}

TEST_F(CrawlerMatcherTest, TheCrawlerRatherThanWhatItIsBuiltOnGetsTheVisit) {
    CrawlerMatcher matcher = shippedMatcher();
    // archive.org_bot depends on heritrix, which comes first in the list and in the agent.
    EXPECT_EQ(nameOf(matcher, "Mozilla/5.0+(compatible;+heritrix/3.3.0-SNAPSHOT-20140702-2247+"
                              "+http://archive.org/details/archive.org_bot)"),
              "archive.org_bot");
    // An HTTP library or browser automation gives way to a crawler of its own.
    EXPECT_EQ(nameOf(matcher, "Mozilla/5.0+(compatible;+Go-http-client/1.1;+"
                              "+centurybot9@gmail.com)"),
              "centurybot");
    EXPECT_EQ(nameOf(matcher, "Mozilla/5.0+(X11;+Linux+x86_64)+AppleWebKit/537.36+(KHTML,+like+"
                              "Gecko)+HeadlessChrome/87.0.4280.88+YextBot/Java+Safari/537.36"),
              "YextBot");
}

TEST_F(CrawlerMatcherTest, OtherwiseTheProductNamedFirstGetsTheVisit) {
    CrawlerMatcher matcher = shippedMatcher();
    // Nutch and UptimeBot\/ come earlier in the list.
    EXPECT_EQ(nameOf(matcher, "OICrawler/Nutch+https://openindex.ai"), "OICrawler");
    EXPECT_EQ(nameOf(matcher, "SentryUptimeBot/1.0+(+http://docs.sentry.io/product/alerts/"
                              "uptime-monitoring/)"),
              "SentryUptimeBot");

    // At the same place the longer match, then the earlier entry.
    CrawlerMatcher made = matcherOf({"Foo", "FooBar", "F[o]o"});
    EXPECT_EQ(nameOf(made, "xFooBar/1.0"), "FooBar");
    EXPECT_EQ(nameOf(made, "xFoo/1.0"), "Foo");
}

TEST_F(CrawlerMatcherTest, PatternsRe2RefusesOrThatMatchAnythingAreLeftOut) {
    CrawlerMatcher matcher = matcherOf({"Foo(?=bar)", "(a)\\1", "", "x*", "^", "SomeBot"});
    std::vector<std::size_t> refused;
    for (const auto& refusal : matcher.refused()) {
        refused.push_back(refusal.crawler);
        EXPECT_FALSE(refusal.reason.empty());
    }
    EXPECT_EQ(refused, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(nameOf(matcher, "Mozilla/5.0+(compatible;+SomeBot/1.0)"), "SomeBot");
    EXPECT_EQ(nameOf(matcher, "Mozilla/5.0+(Windows+NT+10.0)"), "");
}

TEST_F(CrawlerMatcherTest, PatternsBeyondTheMemoryBudgetFailTheBuild) {
    auto catalogue = CrawlerCatalogue::shipped();
    ASSERT_TRUE(catalogue);
    const auto matcher = CrawlerMatcher::build(std::move(*catalogue), 64 << 10);
    ASSERT_FALSE(matcher);
    EXPECT_EQ(matcher.error().code, std::errc::not_enough_memory);
    EXPECT_EQ(matcher.error().subject, "crawler patterns");
}

} // namespace
} // namespace trawlmeter::crawlers
