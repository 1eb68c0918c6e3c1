#include "VisitRows.h"
#include "report/Report.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <regex>

namespace trawlmeter {
namespace {

using nlohmann::json;
using testing::kEngines;

std::size_t occurrences(std::string_view text, std::string_view needle) {
    std::size_t count = 0;
    for (auto at = text.find(needle); at != std::string_view::npos;
         at = text.find(needle, at + 1)) {
        ++count;
    }
    return count;
}

TEST(ReportPage, TextFromTheDatabaseStaysTextInThePageAndTheJson) {
    testing::TestFolder folder;
#ifdef _WIN32
    // Windows allows no < > " in a name.
    const std::string hostileFolder = "a&b";
    const std::string escapedFolder = "a&amp;b";
#else
    const std::string hostileFolder = "a&b<\"x\">";
    const std::string escapedFolder = "a&amp;b&lt;&quot;x&quot;&gt;";
#endif
    std::filesystem::create_directory(folder / hostileFolder);
    folder.createVisitDatabase(hostileFolder + "/rezOve.mdb");
    const std::string database = (folder / hostileFolder / "rezOve.mdb").string();
    const std::string script = "<script>alert(1)</script>";
    std::string longUrl = "/";
    for (int i = 0; i < 2000; ++i) {
        longUrl += "页";
    }
    testing::addVisits(database, "baidu",
                       {{script, "\"onload=x", "</svg>&amp;", "\"onload=x", "404"},
                        {"2024-05-01", "12:00:00", "\xFF\xFE/bad\xC3", script, "5</svg>"},
                        {"2024-05-01", "12:00:01", longUrl, "1.2.3.4", script}});
    const auto collected = report::collectReport(database, kEngines);
    ASSERT_TRUE(collected) << collected.error();

    const std::string page = report::renderHtml(*collected);
    EXPECT_FALSE(std::regex_search(page, std::regex("<script", std::regex::icase)));
    EXPECT_EQ(page.find("\"onload=x"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(page.find("&quot;onload=x"), std::string::npos);
    EXPECT_NE(page.find("&lt;/svg&gt;&amp;amp;"), std::string::npos);
    EXPECT_EQ(occurrences(page, "<svg"), 3u);
    EXPECT_EQ(occurrences(page, "</svg>"), 3u);
    EXPECT_NE(page.find(escapedFolder), std::string::npos);
    EXPECT_NE(page.find("\xEF\xBF\xBD\xEF\xBF\xBD/bad\xEF\xBF\xBD"), std::string::npos);
    EXPECT_NE(page.find("页…"), std::string::npos) << "a long URL is cut after a whole character";
    EXPECT_NE(page.find(">66.7%<"), std::string::npos) << "two of three answers were errors";
    EXPECT_NO_THROW((void)json(page).dump()) << "nlohmann's strict dump refuses invalid UTF-8";

    const json document = json::parse(report::renderJson(*collected));
    EXPECT_EQ(document["database"], database);
    const json& baidu = document["engines"][0];
    EXPECT_EQ(baidu["visits"], 3);
    EXPECT_EQ(baidu["first"], "2024-05-01 12:00:00");
    EXPECT_EQ(baidu["last"], script + " \"onload=x");
    EXPECT_EQ(baidu["hourly"][12], 2);
    EXPECT_EQ(baidu["top_urls"][0], (json{{"url", longUrl}, {"visits", 1}}));
    EXPECT_EQ(baidu["error_urls"], json::parse(R"([{"url": "</svg>&amp;", "visits": 1},
        {"url": "\uFFFD\uFFFD/bad\uFFFD", "visits": 1}])"));
    EXPECT_EQ(baidu["statuses"][1], (json{{"status", "5</svg>"}, {"visits", 1}}));
    EXPECT_EQ(baidu["top_clients"][2], (json{{"client", script}, {"visits", 1}}));
}

TEST(ReportPage, AnEmptyDatabaseGivesAPageSayingSoAndChartsWithoutDivisionByZero) {
    testing::TestFolder folder;
    folder.createVisitDatabase();
    const auto collected = report::collectReport((folder / "rezOve.mdb").string(), kEngines);
    ASSERT_TRUE(collected) << collected.error();

    const std::string page = report::renderHtml(*collected);
    EXPECT_NE(page.find("数据库中没有爬虫访问记录"), std::string::npos);
    EXPECT_EQ(occurrences(page, "没有访问记录"), 3u) << "each chart says so";
    EXPECT_EQ(occurrences(page, "<td class=\"n\">—</td>"), 5u) << "no error share without visits";
    EXPECT_FALSE(std::regex_search(page, std::regex(R"([\s"=,(-](nan|inf))", std::regex::icase)));

    const json document = json::parse(report::renderJson(*collected));
    ASSERT_EQ(document["engines"].size(), 5u);
    for (const json& engine : document["engines"]) {
        EXPECT_EQ(engine["visits"], 0);
        EXPECT_EQ(engine["daily"], json::array());
        EXPECT_EQ(engine["hourly"], json(std::vector<int>(24, 0)));
        EXPECT_EQ(engine["first"], nullptr) << "no dated visit";
        EXPECT_EQ(engine["last"], nullptr);
        EXPECT_EQ(engine.size(), 14u);
    }
    EXPECT_EQ(document["engines"][3]["name"], "Sogou");
}

} // namespace
} // namespace trawlmeter
