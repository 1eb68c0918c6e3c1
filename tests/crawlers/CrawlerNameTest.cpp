#include "crawlers/CrawlerName.h"

#include "crawlers/CrawlerCatalogue.h"
#include "crawlers/CrawlerCategory.h"

#include <gtest/gtest.h>

namespace trawlmeter::crawlers {
namespace {

TEST(CrawlerNameTest, NamesTheCrawlerByTheTextItsPatternStartsWith) {
    const struct {
        const char* pattern;
        const char* name;
    } cases[] = {
        {"Googlebot\\/", "Googlebot"},
        {"[wW]get", "Wget"},
        {"S[eE][mM]rushBot", "SEMrushBot"},
        {"Ahrefs(Bot|SiteAudit)", "AhrefsBot"},
        {"Automaton|Newsify Feed Fetcher", "Automaton"},
        {"(^| )sentry\\/", "sentry"},
        {"AdsBot-Google([^-]|$)", "AdsBot-Google"},
        {"BlogTraffic\\/\\d\\.\\d+ Feed-Fetcher", "BlogTraffic"},
        {"ContextualBot[\\s\\S]*outcomes\\.net", "ContextualBot"},
        {"Quest?ion", "Ques"},
        {"yandex\\.com\\/bots", "yandex.com"},
        {"https:\\/\\/developers\\.cloudflare\\.com\\/security-center\\/",
         "developers.cloudflare.com"},
        {"Owler \\(ows\\.eu", "Owler"},
        {";Owler", "Owler"},
        {"dbot\\)", "dbot"},
        {"Unshorten\\.It\\!", "Unshorten.It"},
        {"Penthouse Critical Path CSS Generator for the Web",
         "Penthouse Critical Path CSS Generator"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(crawlerNameOf(c.pattern), c.name) << c.pattern;
    }
}

TEST(CrawlerNameTest, APatternWithoutALeadingTextIsNamedByItsLongestTextThenItsDescription) {
    EXPECT_EQ(crawlerNameOf("\\d+\\.\\d+ FancyBot", "A crawler"), "FancyBot");
    EXPECT_EQ(crawlerNameOf("[0-9]{3}", "Numbered crawler (beta)"), "Numbered crawler");
    EXPECT_EQ(crawlerNameOf("^$", ""), "unnamed crawler");
}

TEST(CrawlerNameTest, ACategoryComesFromTheFirstKnownTagInPrecedence) {
    using enum CrawlerCategory;
    EXPECT_EQ(categoryOfTags({"search-engine", "ai-crawler"}), AiCrawler);
    EXPECT_EQ(categoryOfTags({"ai-crawler", "search-engine"}), AiCrawler);
    EXPECT_EQ(categoryOfTags({"advertising", "search-engine"}), Advertising);
    EXPECT_EQ(categoryOfTags({"feed-reader", "seo"}), FeedReader);
    EXPECT_EQ(categoryOfTags({"not-yet-known", "http-library"}), HttpLibrary);
    EXPECT_EQ(categoryOfTags({"not-yet-known"}), Other);
    EXPECT_EQ(categoryOfTags({}), Other);
    EXPECT_EQ(categoryTag(SocialPreview), "social-preview");
    EXPECT_EQ(categoryOfTag(categoryTag(Monitoring)), Monitoring);
    EXPECT_FALSE(categoryOfTag("other"));
}

TEST(CrawlerNameTest, ShippedCrawlersHaveTheirNamesAndOneCategoryPerName) {
    const auto catalogue = CrawlerCatalogue::shipped();
    ASSERT_TRUE(catalogue);
    using enum CrawlerCategory;
    EXPECT_EQ(catalogue->categoryOf("GPTBot"), AiCrawler);
    // Tagged both search-engine and ai-crawler.
    EXPECT_EQ(catalogue->categoryOf("OAI-SearchBot"), AiCrawler);
    EXPECT_EQ(catalogue->categoryOf("bingbot"), SearchEngine);
    EXPECT_EQ(catalogue->categoryOf("Wget"), HttpLibrary);
    EXPECT_EQ(catalogue->categoryOf("facebookexternalhit"), SocialPreview);
    EXPECT_FALSE(catalogue->categoryOf("Mozilla"));
    // ";Owler" (advertising) and "Owler \(ows\.eu" (search-engine) are one crawler by name.
    std::size_t owlers = 0;
    for (const Crawler& crawler : catalogue->crawlers()) {
        if (crawler.name == "Owler") {
            ++owlers;
            EXPECT_EQ(crawler.category, Advertising) << crawler.pattern;
        }
    }
    EXPECT_EQ(owlers, 2u);
}

} // namespace
} // namespace trawlmeter::crawlers
