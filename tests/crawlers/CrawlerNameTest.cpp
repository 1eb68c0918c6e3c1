#include "crawlers/CrawlerName.h"

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

} // namespace
} // namespace trawlmeter::crawlers
