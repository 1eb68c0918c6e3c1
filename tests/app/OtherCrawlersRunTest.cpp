// A run stores the visits of the crawlers of the list beside the five engines: each line that no
// engine's token claims is looked up by its user agent.
#include "app/MainForm.h"
#include "app/Messages.h"
#include "crawlers/CrawlerCatalogue.h"
#include "crawlers/CrawlerList.h"
#include "crawlers/CrawlerMatcher.h"
#include "crawlers/CrawlerName.h"
#include "platform/Problem.h"
#include "support/FakePlatform.h"
#include "support/FaultyVfs.h"
#include "support/ReadRows.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace trawlmeter {
namespace {

using testing::readRows;
using testing::Row;

constexpr std::array<std::string_view, 5> kTokens{"baiduspider", "googlebot", "yahoo", "sogou",
                                                  "msn"};
constexpr const char* kBrowser = "Mozilla/5.0+(Windows+NT+10.0;+Win64;+x64)+AppleWebKit/537.36+"
                                 "(KHTML,+like+Gecko)+Chrome/120.0.0.0+Safari/537.36+Edg/120.0.0.0";
constexpr const char* kFiveTables = R"(
    CREATE TABLE baidu (sdate TEXT, stime TEXT, sitename TEXT, sip TEXT, csmethod TEXT, csuristem TEXT, csuriquery TEXT, sport TEXT, csusername TEXT, cip TEXT, UserAgent TEXT, scstatus TEXT, scsubstatus TEXT, scwin32status TEXT);
    CREATE TABLE google AS SELECT * FROM baidu;
    CREATE TABLE yahoo AS SELECT * FROM baidu;
    CREATE TABLE sogou AS SELECT * FROM baidu;
    CREATE TABLE msn AS SELECT * FROM baidu;
)";

std::string asIisWritesIt(std::string userAgent) {
    std::replace(userAgent.begin(), userAgent.end(), ' ', '+');
    return userAgent;
}

bool holdsAToken(std::string userAgent) {
    std::transform(userAgent.begin(), userAgent.end(), userAgent.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::any_of(kTokens.begin(), kTokens.end(), [&](std::string_view token) {
        return userAgent.find(token) != std::string::npos;
    });
}

struct Example {
    std::string userAgent; // as IIS writes it
    std::string name;      // the list's name for its entry
    std::string category;
};

// One example of the list's own per category, as IIS writes it, that no engine's token claims
// and that no other entry's pattern takes first; and the examples that hold a token.
struct Examples {
    std::vector<Example> perCategory;
    std::vector<std::string> withAToken;
};

Examples examplesOfTheList() {
    Examples examples;
    auto list = crawlers::parseCrawlerList(crawlers::shippedListJson());
    EXPECT_TRUE(list);
    auto matcher = crawlers::CrawlerMatcher::build(crawlers::CrawlerCatalogue::fromList(*list));
    EXPECT_TRUE(matcher);
    std::set<std::string> categories;
    for (const auto& entry : *list) {
        const std::string name = crawlers::crawlerNameOf(entry.pattern, entry.description);
        for (const auto& instance : entry.instances) {
            const std::string userAgent = asIisWritesIt(instance);
            if (holdsAToken(instance)) {
                examples.withAToken.push_back(userAgent);
                continue;
            }
            const auto found = matcher->match(userAgent);
            if (!found || *found == nullptr || (*found)->name != name) {
                continue;
            }
            const std::string category(crawlers::categoryTag((*found)->category));
            if (categories.insert(category).second) {
                examples.perCategory.push_back({userAgent, name, category});
            }
        }
    }
    return examples;
}

std::string line(int number, std::string_view userAgent) {
    return "2024-05-01 10:00:" + std::to_string(10 + number % 50) + " W3SVC1 10.0.0.1 GET /page" +
           std::to_string(number) + " - 80 - 192.0.2." + std::to_string(number % 250) + " " +
           std::string(userAgent) + " 200 0 0\r\n";
}

class OtherCrawlersRun : public ::testing::Test {
protected:
    std::string databasePath() const { return (folder / "rezOve.mdb").string(); }

    void load() {
        form.Form_Load();
        ASSERT_TRUE(form.VisitDb) << (platform.messages.empty() ? "" : platform.messages[0].prompt);
    }
    void run(const std::string& log) {
        folder.writeFile("access.log", log);
        form.TxtrezOveFile.setText((folder / "access.log").string());
        form.CmdAnalysis_Click();
    }

    testing::TestFolder folder;
    testing::FakePlatform platform;
    MainForm form{platform.ports(folder.str())};
};

TEST_F(OtherCrawlersRun, EachCategoryIsStoredUnderItsNameAndTheFiveEnginesKeepTheirs) {
    folder.createVisitDatabase();
    load();
    const Examples examples = examplesOfTheList();
    ASSERT_GE(examples.perCategory.size(), 10u);
    ASSERT_FALSE(examples.withAToken.empty());

    // The standard layout, then one with the user agent elsewhere: the field is found through
    // the layout in force.
    std::string log = "#Software: Microsoft Internet Information Services 6.0\r\n";
    int number = 0;
    for (const auto& example : examples.perCategory) {
        log += line(number++, example.userAgent);
        log += line(number++, kBrowser);
    }
    for (const auto& userAgent : examples.withAToken) {
        log += line(number++, userAgent);
    }
    log += "#Fields: time cs(User-Agent) date c-ip cs-uri-stem sc-status\n";
    log +=
        "11:00:00 " + examples.perCategory.front().userAgent + " 2024-05-02 192.0.2.9 /moved 404\n";
    log += "11:00:01 " + std::string(kBrowser) + " 2024-05-02 192.0.2.9 /moved 404\n";
    run(log);

    ASSERT_TRUE(platform.messages.empty()) << platform.messages[0].prompt;
    const auto stored =
        readRows(databasePath(), "SELECT crawler, UserAgent, csuristem, sdate FROM othercrawlers");
    ASSERT_EQ(stored.size(), examples.perCategory.size() + 1);
    for (std::size_t i = 0; i < examples.perCategory.size(); ++i) {
        const auto& example = examples.perCategory[i];
        EXPECT_EQ(stored[i], (Row{example.name, example.userAgent, "/page" + std::to_string(2 * i),
                                  "2024-05-01"}))
            << example.category;
    }
    EXPECT_EQ(stored.back(), (Row{examples.perCategory.front().name,
                                  examples.perCategory.front().userAgent, "/moved", "2024-05-02"}));
    EXPECT_EQ(form.otherCrawlerVisits(), stored.size());

    // The lines with a token went to the engines, as before, and only there.
    long engineRecords = 0;
    for (const char* table : {"baidu", "google", "yahoo", "sogou", "msn"}) {
        engineRecords += testing::countRows(databasePath(), table);
    }
    EXPECT_EQ(engineRecords, static_cast<long>(examples.withAToken.size()));
    EXPECT_EQ(form.TxtLineCnt.Text(), std::to_string(number + 4));
}

TEST_F(OtherCrawlersRun, ADatabaseOfAnEarlierVersionGainsTheTableAndKeepsItsRecords) {
    folder.createDatabase("rezOve.mdb",
                          std::string(kFiveTables) +
                              "INSERT INTO msn (sdate, UserAgent) VALUES ('2009-01-01', 'msnbot');"
                              "INSERT INTO baidu (sdate, UserAgent) VALUES ('2009-01-02', 'b');");
    load();
    ASSERT_EQ(form.VisitDb->kindOfName("othercrawlers"), std::string());

    run(line(1, "Mozilla/5.0+(compatible;+msnbot/2.1)") +
        line(2, "Mozilla/5.0+AppleWebKit/537.36+(KHTML,+like+Gecko;+compatible;+GPTBot/1.1;+"
                "+https://openai.com/gptbot)"));

    ASSERT_TRUE(platform.messages.empty()) << platform.messages[0].prompt;
    EXPECT_EQ(readRows(databasePath(), "SELECT sdate FROM msn"),
              (std::vector<Row>{{"2009-01-01"}, {"2024-05-01"}}));
    EXPECT_EQ(readRows(databasePath(), "SELECT sdate, UserAgent FROM baidu"),
              (std::vector<Row>{{"2009-01-02", "b"}}));
    EXPECT_EQ(readRows(databasePath(), "SELECT crawler FROM othercrawlers"),
              (std::vector<Row>{{"GPTBot"}}));
    EXPECT_EQ(readRows(databasePath(), "SELECT count(*) FROM pragma_table_info('othercrawlers')"),
              (std::vector<Row>{{"15"}}));
}

TEST_F(OtherCrawlersRun, ATableThatCannotBeMadeStopsTheRunBeforeAnythingIsCounted) {
    folder.createDatabase(
        "rezOve.mdb", std::string(kFiveTables) +
                          "INSERT INTO msn (sdate, UserAgent) VALUES ('2009-01-01', 'msnbot');");
    testing::FaultyVfs vfs;
    load();
    vfs.failFrom(1);
    run(line(1, "msnbot/2.0b"));

    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].prompt, messages::databaseWriteFailed(*form.shownFailure()));
    EXPECT_EQ(form.Label3.Caption(), messages::kAnalysisUnfinished);
    EXPECT_EQ(form.TxtLineCnt.Text(), "0");
    EXPECT_EQ(testing::countRows(databasePath(), "msn"), 1);

    // The disk has room again: the next run makes it.
    vfs.heal();
    run(line(1, "msnbot/2.0b"));
    EXPECT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(testing::countRows(databasePath(), "msn"), 2);
    EXPECT_EQ(testing::countRows(databasePath(), "othercrawlers"), 0);
}

TEST_F(OtherCrawlersRun, ADatabaseThatCannotTakeTheOtherCrawlersIsRefusedAtStartUp) {
    const std::string table15 =
        "CREATE TABLE othercrawlers AS SELECT *, 'x' AS crawler FROM baidu;";
    const std::map<std::string, std::error_code> schemas{
        {"CREATE VIEW othercrawlers AS SELECT * FROM baidu;", Problem::NotATable},
        {"CREATE INDEX OtherCrawlers ON baidu (sdate);", Problem::NotATable},
        {"CREATE TABLE othercrawlers AS SELECT * FROM baidu;", Problem::MissingColumns},
        {"CREATE TABLE othercrawlers (sdate TEXT, stime TEXT, sitename TEXT, sip TEXT, "
         "csmethod TEXT, csuristem TEXT, csuriquery TEXT, sport TEXT, csusername TEXT, cip TEXT, "
         "UserAgent TEXT, scstatus TEXT, scsubstatus TEXT, scwin32status TEXT, crawler TEXT, "
         "verified TEXT NOT NULL);",
         Problem::ColumnNeedsAValue},
    };
    int n = 0;
    for (const auto& [schema, code] : schemas) {
        SCOPED_TRACE(schema);
        testing::FakePlatform fresh;
        const std::string name = "db" + std::to_string(n++);
        std::filesystem::create_directory(folder / name);
        folder.createDatabase(name + "/rezOve.mdb", std::string(kFiveTables) + schema);
        MainForm refusing{fresh.ports((folder / name).string())};
        refusing.Form_Load();
        ASSERT_EQ(fresh.messages.size(), 1u);
        EXPECT_EQ(fresh.messages[0].prompt, messages::kDatabaseUnusable);
        ASSERT_TRUE(refusing.shownFailure());
        EXPECT_EQ(refusing.shownFailure()->code, code);
        EXPECT_FALSE(refusing.CmdAnalysis.Enabled());
    }
    // A table of its own making that takes every visit is kept as it is.
    folder.createDatabase("rezOve.mdb", std::string(kFiveTables) + table15);
    load();
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(OtherCrawlersRun, ARefusedRecordStopsTheRunAndPutsTheCountBack) {
    folder.createDatabase(
        "rezOve.mdb",
        std::string(kFiveTables) +
            "CREATE TABLE othercrawlers (sdate TEXT, stime TEXT, sitename TEXT, sip TEXT, "
            "csmethod TEXT, csuristem TEXT, csuriquery TEXT, sport TEXT, csusername TEXT, "
            "cip TEXT, UserAgent TEXT, scstatus TEXT, scsubstatus TEXT, scwin32status TEXT, "
            "crawler TEXT CHECK (crawler <> 'ClaudeBot'));");
    load();
    const std::string gpt = "Mozilla/5.0+(compatible;+GPTBot/1.1;++https://openai.com/gptbot)";
    const std::string claude = "Mozilla/5.0+(compatible;+ClaudeBot/1.0;++claudebot@anthropic.com)";
    std::string log = line(0, gpt) + line(1, gpt) + line(2, claude);
    for (int i = 3; i < 300; ++i) {
        log += line(i, i % 2 ? gpt : "Sogou+web+spider/4.0");
    }
    run(log);

    ASSERT_EQ(platform.messages.size(), 1u);
    ASSERT_TRUE(form.shownFailure());
    EXPECT_EQ(form.shownFailure()->subject, "othercrawlers");
    EXPECT_EQ(form.Label3.Caption(), messages::kAnalysisUnfinished);
    // As if the scan had stopped at the refused visit, which counts as the engines' counters
    // count theirs.
    EXPECT_GE(form.otherCrawlerVisits(), 2u);
    EXPECT_LE(form.otherCrawlerVisits(), 3u);
    EXPECT_EQ(form.TxtSogouCnt.Text(), "0");
    EXPECT_EQ(form.TxtLineCnt.Text(), "2");
    EXPECT_EQ(testing::countRows(databasePath(), "othercrawlers"), 0);
}

} // namespace
} // namespace trawlmeter
