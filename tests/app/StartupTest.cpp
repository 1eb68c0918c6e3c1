#include "app/FormLayout.h"
#include "app/MainForm.h"
#include "app/Messages.h"
#include "platform/Problem.h"
#include "support/ReadRows.h"
#include "platform/PathText.h"
#include "support/FakePlatform.h"
#include "support/FaultyVfs.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>

namespace trawlmeter {
namespace {

constexpr const char* kMissingPrompt =
    "没有找到rezOve.mdb数据库文件，请确认数据库文件和程序是否在同一目录下";
constexpr const char* kUnopenablePrompt =
    "无法打开rezOve.mdb数据库文件，请确认数据库文件完好且没有被其他程序占用";
constexpr const char* kRestartTitle = "请重新运行程序";

// The load showed exactly this refusal and left the form without a database.
void expectRefused(const testing::FakePlatform& platform, const MainForm& form,
                   const char* prompt) {
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].prompt, prompt);
    EXPECT_EQ(platform.messages[0].style, 0);
    EXPECT_EQ(platform.messages[0].title, kRestartTitle);
    EXPECT_FALSE(form.CmdAnalysis.Enabled());
    EXPECT_EQ(form.VisitDb, nullptr);
}

struct Startup : ::testing::Test {
    testing::TestFolder folder;
    testing::FakePlatform platform;
    MainForm form{platform.ports(folder.str())};

    void makeDatabase(const std::string& schema) const {
        folder.createDatabase("rezOve.mdb", schema);
    }

    void expectRefusedWith(const char* prompt) const { expectRefused(platform, form, prompt); }

    void expectReady() const {
        EXPECT_TRUE(platform.messages.empty());
        EXPECT_TRUE(form.CmdAnalysis.Enabled());
        ASSERT_NE(form.VisitDb, nullptr);
        EXPECT_TRUE(form.VisitDb->isOpen());
    }
};

TEST_F(Startup, AMissingDatabaseIsReportedAndDisablesTheAnalysis) {
    form.Form_Load();
    expectRefusedWith(kMissingPrompt);
    EXPECT_FALSE(std::filesystem::exists(folder / "rezOve.mdb"));
}

TEST_F(Startup, AFolderNamedLikeTheDatabaseCountsAsMissing) {
    std::filesystem::create_directory(folder / "rezOve.mdb");
    form.Form_Load();
    expectRefusedWith(kMissingPrompt);
}

TEST_F(Startup, TheDeliveredDatabaseOpensWithoutAMessage) {
    folder.createVisitDatabase();
    form.Form_Load();
    expectReady();
    EXPECT_TRUE(form.VisitDb->OpenRecordset("baidu"));
}

TEST_F(Startup, AFileThatIsNoVisitDatabaseIsRefusedAndLeftAsItWas) {
    for (const std::string& content : {std::string(), std::string("#Software: IIS\r\n"),
                                       std::string("SQLite format 3\0garbage", 23)}) {
        SCOPED_TRACE(content.size());
        testing::FakePlatform freshPlatform;
        MainForm freshForm{freshPlatform.ports(folder.str())};
        folder.writeFile("rezOve.mdb", content);
        freshForm.Form_Load();
        expectRefused(freshPlatform, freshForm, kUnopenablePrompt);
        EXPECT_EQ(folder.readFile("rezOve.mdb"), content);
    }
}

// The five engine tables with the fourteen fields, `google` changed to `googleColumns`.
std::string schemaWithGoogle(const std::string& googleColumns) {
    const std::string fields =
        "sdate, stime, sitename, sip, csmethod, csuristem, csuriquery, sport,"
        " csusername, cip, UserAgent, scstatus, scsubstatus, scwin32status";
    std::string schema = "CREATE TABLE google (" + googleColumns + ");";
    for (const char* table : {"baidu", "yahoo", "sogou", "msn"}) {
        schema += "CREATE TABLE " + std::string(table) + " (" + fields + ");";
    }
    return schema;
}

TEST_F(Startup, RefusesADatabaseThatCannotTakeEveryVisitRecord) {
    const std::string fields =
        "sdate, stime, sitename, sip, csmethod, csuristem, csuriquery, sport,"
        " csusername, cip, UserAgent, scstatus, scsubstatus";
    struct Case {
        std::string schema;
        Problem problem;
        std::string table;
    };
    const Case cases[] = {
        {schemaWithGoogle(fields + ", scwin32status") + "DROP TABLE yahoo;", Problem::NoSuchTable,
         "yahoo"},
        {schemaWithGoogle(fields), Problem::MissingColumns, "google"},
        {schemaWithGoogle(fields + ", scwin32status, extra TEXT NOT NULL"),
         Problem::ColumnNeedsAValue, "google"},
        {"CREATE TABLE t (" + fields + ", scwin32status);" + schemaWithGoogle("a") +
             "DROP TABLE google; CREATE VIEW google AS SELECT * FROM t;",
         Problem::NoSuchTable, "google"},
        // Texts kept as UTF-16 change the bytes of a line that is not UTF-8.
        {"PRAGMA encoding = 'UTF-16le';" + schemaWithGoogle(fields + ", scwin32status"),
         Problem::TextsNotKeptAsRead, (folder / "rezOve.mdb").string()}};
    for (const auto& [schema, problem, table] : cases) {
        SCOPED_TRACE(schema);
        testing::FakePlatform freshPlatform;
        MainForm freshForm{freshPlatform.ports(folder.str())};
        std::filesystem::remove(folder / "rezOve.mdb");
        makeDatabase(schema);
        freshForm.Form_Load();
        expectRefused(freshPlatform, freshForm, kUnopenablePrompt);
        ASSERT_TRUE(freshForm.shownFailure());
        EXPECT_EQ(freshForm.shownFailure()->code, problem) << *freshForm.shownFailure();
        EXPECT_EQ(freshForm.shownFailure()->subject, table);
    }
}

TEST_F(Startup, AcceptsOtherCaseAndExtraColumnsThatMayStayEmpty) {
    makeDatabase(schemaWithGoogle(
        "id INTEGER PRIMARY KEY, SDATE, stime, sitename, sip, csmethod, csuristem, csuriquery,"
        " sport, csusername, cip, useragent, scstatus, scsubstatus, scwin32status, note TEXT,"
        " source TEXT NOT NULL DEFAULT 'log'"));
    form.Form_Load();
    expectReady();
}

TEST_F(Startup, AProgramFolderEndingInASeparatorGetsTheNameAppendedUnchanged) {
    folder.createVisitDatabase();
    testing::FakePlatform rootPlatform;
    MainForm rootForm{rootPlatform.ports(folder.str() + "/")};
    EXPECT_EQ(rootForm.programPath("rezOve.mdb"),
              folder.str() + "/" + kPathSeparator + "rezOve.mdb");
    rootForm.Form_Load();
    EXPECT_TRUE(rootPlatform.messages.empty());
    EXPECT_NE(rootForm.VisitDb, nullptr);
}

TEST_F(Startup, UnloadClosesTheDatabaseAndKeepsItsRecords) {
    folder.createVisitDatabase();
    form.Form_Load();
    form.TxtContent.setText("2008-07-15 00:00:01 W3SVC1");
    EXPECT_TRUE(form.CmdSaveBaidu_Click());
    EXPECT_TRUE(form.CmdSaveMsn_Click());

    EXPECT_TRUE(form.Form_Unload());
    EXPECT_EQ(form.VisitDb, nullptr);
    EXPECT_TRUE(form.VisitRs.expired());
    EXPECT_TRUE(platform.messages.empty());
    const auto path = (folder / "rezOve.mdb").string();
    EXPECT_EQ(testing::countRows(path, "baidu"), 1);
    EXPECT_EQ(testing::countRows(path, "msn"), 1);
}

TEST_F(Startup, UnloadSaysSoWhenItsLastCommitIsRefused) {
    testing::FaultyVfs vfs;
    folder.createVisitDatabase();
    form.Form_Load();
    form.TxtContent.setText("2008-07-15 00:00:01 W3SVC1");
    ASSERT_TRUE(form.CmdSaveBaidu_Click());
    vfs.failFrom(1);

    EXPECT_FALSE(form.Form_Unload());
    ASSERT_EQ(platform.messages.size(), 1u);
    ASSERT_TRUE(form.shownFailure());
    EXPECT_EQ(platform.messages[0].prompt, messages::databaseCloseFailed(*form.shownFailure()));
    EXPECT_EQ(form.shownFailure()->code, std::errc::no_space_on_device);
    EXPECT_EQ(form.shownFailure()->subject, (folder / "rezOve.mdb").string());
    EXPECT_EQ(form.VisitDb, nullptr);
}

TEST_F(Startup, UnloadWithoutADatabaseEndsQuietly) {
    form.Form_Load();
    platform.messages.clear();
    EXPECT_TRUE(form.Form_Unload());
    EXPECT_EQ(form.VisitDb, nullptr);
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(Startup, TheCreditLineOpensTheHomePageAndIgnoresARefusal) {
    form.Label4_Click();
    platform.urlOpenSucceeds = false;
    form.Label4_Click();
    const std::string homePage(kHomePage);
    EXPECT_EQ(homePage.rfind("https://", 0), 0u);
    EXPECT_NE(kCreditLine.find("[" + homePage.substr(8) + "]"), std::string_view::npos);
    EXPECT_EQ(platform.openedUrls, (std::vector<std::string>{homePage, homePage}));
    EXPECT_TRUE(platform.messages.empty());
}

} // namespace
} // namespace trawlmeter
