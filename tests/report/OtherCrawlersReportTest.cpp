// The report's section of the other known crawlers: their figures, the JSON and the page.
#include "VisitRows.h"
#include "platform/Problem.h"
#include "report/Report.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>

namespace trawlmeter {
namespace {

using report::Count;
using testing::addVisits;
using testing::executeSql;
using testing::kEngines;

// The list's categories for the names the tests store; a name it does not know has none.
std::string categoryOf(std::string_view name) {
    static const std::map<std::string, std::string, std::less<>> kCategories{
        {"GPTBot", "ai-crawler"}, {"ClaudeBot", "ai-crawler"}, {"bingbot", "search-engine"}};
    const auto found = kCategories.find(name);
    return found == kCategories.end() ? std::string() : found->second;
}

const report::OtherCrawlersSource kOthers{"othercrawlers", "crawler", categoryOf};

struct OtherCrawlersReport : ::testing::Test {
    OtherCrawlersReport() { folder.createVisitDatabase(); }

    // Visits of `crawler`: date, time and URL.
    void addOthers(const std::string& crawler,
                   const std::vector<std::array<std::optional<std::string>, 3>>& visits) {
        std::vector<testing::Visit> rows;
        for (const auto& [date, time, url] : visits) {
            rows.push_back({date, time, url, "192.0.2.1", "200"});
        }
        executeSql(database,
                   "INSERT INTO othercrawlers (sdate, stime, csuristem, cip, scstatus, crawler) "
                   "VALUES (?, ?, ?, ?, ?, '" +
                       crawler + "')",
                   rows);
    }

    testing::TestFolder folder;
    std::string database = (folder / "rezOve.mdb").string();
};

TEST_F(OtherCrawlersReport, EachCrawlerWithItsCategoryVisitsDatesAndTopUrlsLargestFirst) {
    addOthers("bingbot", {{"2024-05-02", "10:00:00", "/a"}, {std::nullopt, std::nullopt, "/a"}});
    addOthers("GPTBot", {{"2024-05-02", "09:00:00", "/b"},
                         {"2024-05-01", "23:00:00", "/a"},
                         {"2024-05-01", "01:00:00", "/b"}});
    // Stored under a version of the list that had it; today's has not.
    addOthers("OldBot", {{std::nullopt, std::nullopt, std::nullopt}});
    for (int i = 0; i < 7; ++i) {
        addOthers("ClaudeBot", {{"2024-05-03", "12:00:00", "/u" + std::to_string(i % 7)}});
    }
    addVisits(database, "baidu", {{"2024-05-01", "00:00:00", "/", "10.0.0.1", "200"}});

    const auto collected = report::collectReport(database, kEngines, report::kTallyBudget, kOthers);
    ASSERT_TRUE(collected) << collected.error();
    const auto& others = collected->otherCrawlers;
    ASSERT_EQ(others.size(), 4u);
    EXPECT_EQ(others[0].name, "ClaudeBot");
    EXPECT_EQ(others[0].topUrls.size(), report::kOtherCrawlerTopUrls);
    EXPECT_EQ(others[1].name, "GPTBot");
    EXPECT_EQ(others[1].category, "ai-crawler");
    EXPECT_EQ(others[1].visits, 3);
    EXPECT_EQ(others[1].first, "2024-05-01 01:00:00");
    EXPECT_EQ(others[1].last, "2024-05-02 09:00:00");
    EXPECT_EQ(others[1].topUrls, (std::vector<Count>{{"/b", 2}, {"/a", 1}}));
    EXPECT_EQ(others[1].daily, (std::vector<Count>{{"2024-05-01", 2}, {"2024-05-02", 1}}));
    EXPECT_EQ(others[2].name, "bingbot");
    EXPECT_EQ(others[2].first, "2024-05-02 10:00:00");
    EXPECT_EQ(others[2].topUrls, (std::vector<Count>{{"/a", 2}}));
    EXPECT_EQ(others[3].name, "OldBot");
    EXPECT_EQ(others[3].category, "other");
    EXPECT_EQ(others[3].topUrls, (std::vector<Count>{{"", 1}}));

    const auto json = nlohmann::json::parse(report::renderJson(*collected));
    const auto& listed = json.at("other_crawlers");
    ASSERT_EQ(listed.size(), 4u);
    EXPECT_EQ(listed[1], nlohmann::json::parse(R"({"name": "GPTBot", "category": "ai-crawler",
        "visits": 3, "first": "2024-05-01 01:00:00", "last": "2024-05-02 09:00:00",
        "top_urls": [{"url": "/b", "visits": 2}, {"url": "/a", "visits": 1}]})"));
    EXPECT_TRUE(listed[3].at("first").is_null());
    EXPECT_TRUE(listed[3].at("last").is_null());

    // 10 AI visits of 14 crawler visits in all.
    const std::string page = report::renderHtml(*collected);
    EXPECT_NE(page.find("<h2>其他爬虫"), std::string::npos);
    EXPECT_NE(page.find("共 10 次访问，占全部爬虫访问的 71.4%"), std::string::npos);
    EXPECT_NE(page.find("搜索引擎与 AI 爬虫的每日访问"), std::string::npos);
}

TEST_F(OtherCrawlersReport, HostileNamesAndUrlsAreEscapedAndTheMsnSectionNamesBingbot) {
    addOthers("<script>alert(1)</script>", {{"2024-05-01", "00:00:00", "/\"><img src=x>"}});
    std::array<report::ReportEngine, 5> engines = kEngines;
    engines[4].note = "bingbot <b>";
    const auto collected = report::collectReport(database, engines, report::kTallyBudget, kOthers);
    ASSERT_TRUE(collected) << collected.error();
    const std::string page = report::renderHtml(*collected);
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    EXPECT_EQ(page.find("<img"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;"), std::string::npos);
    EXPECT_NE(page.find("<p class=\"engine-note\">bingbot &lt;b&gt;</p>"), std::string::npos);
}

TEST_F(OtherCrawlersReport, ADatabaseWithoutTheTableHasNoneAndOneWithoutItsNameColumnFails) {
    executeSql(database, "DROP TABLE othercrawlers");
    auto collected = report::collectReport(database, kEngines, report::kTallyBudget, kOthers);
    ASSERT_TRUE(collected) << collected.error();
    EXPECT_TRUE(collected->otherCrawlers.empty());
    EXPECT_NE(report::renderHtml(*collected).find("数据库中没有其他已知爬虫的访问记录"),
              std::string::npos);

    executeSql(database, "CREATE TABLE othercrawlers AS SELECT * FROM baidu");
    collected = report::collectReport(database, kEngines, report::kTallyBudget, kOthers);
    ASSERT_FALSE(collected);
    EXPECT_EQ(collected.error().code, Problem::MissingColumns);
    EXPECT_EQ(collected.error().subject, "othercrawlers");
}

} // namespace
} // namespace trawlmeter
