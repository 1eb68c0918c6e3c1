#include "app/MainForm.h"
#include "app/Messages.h"
#include "platform/Problem.h"
#include "support/DnsmasqServer.h"
#include "support/FakePlatform.h"
#include "support/GeneratedLog.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace trawlmeter {
namespace {
namespace stdfs = std::filesystem;

// A program folder whose name needs percent-encoding in an address, the range files beside
// the program, and no DNS server to ask.
struct CrawlerReportEntry : ::testing::Test {
    CrawlerReportEntry() {
        stdfs::create_directory(program);
        folder.createVisitDatabase("程序 folder/rezOve.mdb");
        folder.copyRangeFiles("程序 folder");
        form.setDnsServer(testing::closedDnsPort());
    }

    testing::TestFolder folder;
    const stdfs::path program = folder / "程序 folder";
    testing::FakePlatform platform;
    MainForm form{platform.ports(program.string())};
};

TEST_F(CrawlerReportEntry, WritesThePageBesideTheProgramAndOpensIt) {
    form.Form_Load();
    ASSERT_TRUE(form.MnuCrawlerReport.Enabled());
    testing::writeTestLog(folder / "access.log", 20'000);
    form.TxtrezOveFile.setText((folder / "access.log").string());
    bool offeredDuringTheRun = false;
    platform.onYield = [&] { offeredDuringTheRun |= form.MnuCrawlerReport.Enabled(); };
    form.CmdAnalysis_Click();
    EXPECT_FALSE(offeredDuringTheRun) << "the run holds the database";
    EXPECT_TRUE(form.MnuCrawlerReport.Enabled());

    form.MnuCrawlerReport_Click();

    const std::string page = testing::readWholeFile(program / "report.html");
    EXPECT_NE(page.find("爬虫报告"), std::string::npos);
    EXPECT_NE(page.find("Baidu"), std::string::npos);
    ASSERT_EQ(platform.openedUrls.size(), 1u);
    EXPECT_EQ(platform.openedUrls[0],
              "file://" + folder.str() + "/%E7%A8%8B%E5%BA%8F%20folder/report.html");
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(CrawlerReportEntry, FallsBackToTheTemporaryFolderWhenTheProgramFolderTakesNoPage) {
    form.Form_Load();
    // A folder where the page would go: the program folder cannot take it.
    stdfs::create_directory(program / "report.html");
    stdfs::create_directory(folder / "tmp");
    const char* before = std::getenv("TMPDIR");
    const std::string saved = before ? before : "";
    setenv("TMPDIR", (folder / "tmp").c_str(), 1);

    form.MnuCrawlerReport_Click();

    before ? setenv("TMPDIR", saved.c_str(), 1) : unsetenv("TMPDIR");
    EXPECT_TRUE(stdfs::is_regular_file(folder / "tmp/report.html"));
    ASSERT_EQ(platform.openedUrls.size(), 1u);
    EXPECT_EQ(platform.openedUrls[0], "file://" + folder.str() + "/tmp/report.html");
}

TEST_F(CrawlerReportEntry, NamesThePageWhenNoBrowserOpensIt) {
    form.Form_Load();
    platform.urlOpenSucceeds = false;

    form.MnuCrawlerReport_Click();

    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].prompt,
              "爬虫报告已保存到" + (program / "report.html").string() + "，但无法打开浏览器显示它");
}

TEST_F(CrawlerReportEntry, TheWindowStaysLiveWhileItIsMadeAndClosingItStopsTheReport) {
    form.Form_Load();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((program / "rezOve.mdb").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db,
                           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < 200) INSERT INTO baidu (sdate, stime, csuristem, cip, "
                           "scstatus) SELECT '2024-05-01', '10:00:00', '/', '198.51.100.' || i, "
                           "'200' FROM n",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    // A server that never answers: the verification would wait for it up to its whole time.
    const testing::SilentDnsPort silent;
    form.setDnsServer(silent.server());
    const std::string status = form.Label3.Caption();
    std::vector<std::string> shown;
    bool analysisOffered = false;
    platform.onYield = [&] {
        analysisOffered |= form.CmdAnalysis.Enabled() || form.MnuCrawlerReport.Enabled();
        if (shown.empty() || shown.back() != form.Label3.Caption()) {
            shown.push_back(form.Label3.Caption());
        }
        if (form.Label3.Caption().starts_with("正在验证爬虫地址")) {
            form.requestStop(); // the window is closed
        }
    };
    const auto start = std::chrono::steady_clock::now();

    form.MnuCrawlerReport_Click();

    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_FALSE(analysisOffered) << "the report reads what a run would write";
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), "正在验证爬虫地址 0/200");
    EXPECT_FALSE(stdfs::exists(program / "report.html"));
    EXPECT_TRUE(platform.openedUrls.empty());
    EXPECT_TRUE(platform.messages.empty()) << "a stop asked for is no failure";
    EXPECT_FALSE(form.reportInProgress());
    EXPECT_EQ(form.Label3.Caption(), status);
    EXPECT_TRUE(form.CmdAnalysis.Enabled());
}

TEST_F(CrawlerReportEntry, ABrokenRangeFileBesideTheProgramIsNamedAndNoPageIsWritten) {
    form.Form_Load();
    testing::writeWholeFile(program / "bingbot.json", R"({"prefixes": []})");

    form.MnuCrawlerReport_Click();

    ASSERT_EQ(platform.messages.size(), 1u);
    ASSERT_TRUE(form.shownFailure());
    EXPECT_EQ(form.shownFailure()->code, Problem::RangeFileWithoutPrefixes);
    EXPECT_EQ(platform.messages[0].prompt,
              "无法验证爬虫地址：" + (program / "bingbot.json").string() +
                  "（爬虫地址段文件中没有任何地址段），爬虫报告没有生成");
    EXPECT_FALSE(stdfs::exists(program / "report.html"));
    EXPECT_TRUE(platform.openedUrls.empty());
}

TEST_F(CrawlerReportEntry, IsOffWithoutADatabaseAndSaysWhyWhenCalledAnyway) {
    stdfs::remove(program / "rezOve.mdb");
    form.Form_Load();
    EXPECT_FALSE(form.MnuCrawlerReport.Enabled());
    platform.messages.clear();

    form.MnuCrawlerReport_Click();

    ASSERT_EQ(platform.messages.size(), 1u);
    ASSERT_TRUE(form.shownFailure());
    EXPECT_EQ(form.shownFailure()->code, sqliteError(SQLITE_CANTOPEN));
    EXPECT_EQ(form.shownFailure()->subject, (program / "rezOve.mdb").string());
    EXPECT_EQ(platform.messages[0].prompt,
              messages::reportFailed(*form.shownFailure(), (program / "rezOve.mdb").string()));
    EXPECT_TRUE(platform.openedUrls.empty());
}

} // namespace
} // namespace trawlmeter
