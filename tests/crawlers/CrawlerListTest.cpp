#include "crawlers/CrawlerList.h"

#include <gtest/gtest.h>

namespace trawlmeter::crawlers {
namespace {

TEST(CrawlerListTest, ReadsEveryFieldAndIgnoresTheOnesItDoesNotKnow) {
    const auto list = parseCrawlerList(R"json([
        {"pattern": "heritrix", "instances": []},
        {"pattern": "archive\\.org_bot", "url": "http://archive.org", "depends_on": ["heritrix"],
         "instances": ["Mozilla/5.0 (compatible; archive.org_bot +http://archive.org)"],
         "description": "Archive.org's crawler", "tags": ["archiver"], "addition_date": "2015/04/14"}
    ])json");
    ASSERT_TRUE(list) << list.error().detail;
    ASSERT_EQ(list->size(), 2u);
    const ListedCrawler& archive = (*list)[1];
    EXPECT_EQ(archive.pattern, "archive\\.org_bot");
    EXPECT_EQ(archive.description, "Archive.org's crawler");
    EXPECT_EQ(
        archive.instances,
        std::vector<std::string>{"Mozilla/5.0 (compatible; archive.org_bot +http://archive.org)"});
    EXPECT_EQ(archive.tags, std::vector<std::string>{"archiver"});
    EXPECT_EQ(archive.dependsOn, std::vector<std::string>{"heritrix"});
    EXPECT_TRUE((*list)[0].tags.empty());
}

TEST(CrawlerListTest, ATextThatIsNoCrawlerListFailsWithWhatIsWrong) {
    const struct {
        const char* json;
        const char* detail;
    } cases[] = {
        {R"([{"pattern": "GPTBot"},)", "parse error"},
        {R"({"pattern": "GPTBot"})", "not an array"},
        {R"([{"pattern": "GPTBot"}, "CCBot"])", "entry 2 is not an object"},
        {R"([{"instances": ["GPTBot/1.0"]}])", "entry 1 has no pattern"},
        {R"([{"pattern": 42}])", "entry 1 has no pattern"},
        {R"([{"pattern": "GPTBot", "tags": "ai-crawler"}])", "entry 1: instances, tags"},
        {R"([{"pattern": "GPTBot", "instances": [1]}])", "entry 1: instances, tags"},
        {R"([{"pattern": "GPTBot", "description": ["AI"]}])", "entry 1: description"},
    };
    for (const auto& c : cases) {
        const auto list = parseCrawlerList(c.json);
        ASSERT_FALSE(list) << c.json;
        EXPECT_EQ(list.error().code, std::errc::bad_message) << c.json;
        EXPECT_EQ(list.error().subject, "crawler list");
        EXPECT_NE(list.error().detail.find(c.detail), std::string::npos)
            << c.json << ": " << list.error().detail;
    }
}

} // namespace
} // namespace trawlmeter::crawlers
