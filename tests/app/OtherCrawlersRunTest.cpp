// The table of the other known crawlers in a database of an earlier version, and the databases
// that cannot take it.
#include "app/MainForm.h"
#include "app/Messages.h"
#include "platform/Problem.h"
#include "support/FakePlatform.h"
#include "support/FaultyVfs.h"
#include "support/ReadRows.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

namespace trawlmeter {
namespace {

constexpr const char* kFiveTables = R"(
    CREATE TABLE baidu (sdate TEXT, stime TEXT, sitename TEXT, sip TEXT, csmethod TEXT, csuristem TEXT, csuriquery TEXT, sport TEXT, csusername TEXT, cip TEXT, UserAgent TEXT, scstatus TEXT, scsubstatus TEXT, scwin32status TEXT);
    CREATE TABLE google AS SELECT * FROM baidu;
    CREATE TABLE yahoo AS SELECT * FROM baidu;
    CREATE TABLE sogou AS SELECT * FROM baidu;
    CREATE TABLE msn AS SELECT * FROM baidu;
)";

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

} // namespace
} // namespace trawlmeter
