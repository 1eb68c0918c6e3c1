#include "ScanFixture.h"

#include "app/Messages.h"
#include "platform/Problem.h"
#include "split/ChunkNames.h"

#include <filesystem>

namespace trawlmeter::testing {
namespace {

using ScanLogChunk = ScanFixture;

constexpr std::string_view kGooglebotLine =
    "2015-01-13 08:22:18 W3SVC1 100.79.192.81 GET /contact/ - 80 - 66.249.64.36 "
    "Mozilla/5.0+AppleWebKit/537.36+(KHTML,+like+Gecko;+Google+Web+Preview+Analytics)+"
    "(compatible;+Googlebot/2.1;++http://www.google.com/bot.html) 404 0 2";

std::vector<std::string> column(const std::vector<Visit>& visits, const std::string& name) {
    std::vector<std::string> values;
    values.reserve(visits.size());
    for (const auto& visit : visits) {
        values.push_back(visit.count(name) ? visit.at(name) : "<null>");
    }
    return values;
}

TEST_F(ScanLogChunk, TestsTheTokensInTableOrderWhateverTheirPlaceOrCase) {
    writeChunk("rezOve.000", "a/msn googlebot\n"
                             "b/BaiduSpider msn\n"
                             "c/BAIDUSPIDER\n"
                             "d/Baidu Google spider bot\n"
                             "e/search?q=YaHoo\n"
                             "f/SoGou\n"
                             "g/MSNbot\n");
    EXPECT_EQ(form->ScanLogChunk("rezOve.000"), RunStep::Done);
    EXPECT_EQ(counters(), "2 1 1 1 1 / 7");
    EXPECT_EQ(column(visits("baidu"), "sdate"),
              (std::vector<std::string>{"b/BaiduSpider", "c/BAIDUSPIDER"}));
    EXPECT_EQ(column(visits("google"), "sdate"), std::vector<std::string>{"a/msn"});
    EXPECT_EQ(visits("yahoo").size(), 1u);
    EXPECT_EQ(visits("sogou").size(), 1u);
    EXPECT_EQ(column(visits("msn"), "sdate"), std::vector<std::string>{"g/MSNbot"});
    // The box keeps the last crawler item as read.
    EXPECT_EQ(form->TxtContent.Text(), "g/MSNbot");
}

TEST_F(ScanLogChunk, HeaderAndEmptyLinesRaiseOnlyTheLineCounter) {
    writeChunk("rezOve.000", "#Software: Microsoft Internet Information Services 6.0\r\n"
                             "\r\n"
                             "#Version: 1.0\r\n"
                             "   \r\n");
    EXPECT_EQ(form->ScanLogChunk("rezOve.000"), RunStep::Done);
    EXPECT_EQ(counters(), "0 0 0 0 0 / 4");
    EXPECT_EQ(form->TxtContent.Text(), "");
    EXPECT_TRUE(visits("baidu").empty());
}

TEST_F(ScanLogChunk, StoresALineWithCommasWholeWithItsDateInSdate) {
    writeChunk("rezOve.000", std::string(kGooglebotLine) + "\r\n");
    EXPECT_EQ(form->ScanLogChunk("rezOve.000"), RunStep::Done);
    EXPECT_EQ(counters(), "0 1 0 0 0 / 1");
    const auto stored = visits("google");
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].at("sdate"), "2015-01-13");
    EXPECT_EQ(stored[0].at("cip"), "66.249.64.36");
    EXPECT_NE(stored[0].at("UserAgent").find("(KHTML,+like+Gecko;"), std::string::npos);
    EXPECT_EQ(stored[0].at("scwin32status"), "2");
    EXPECT_EQ(form->TxtContent.Text(), kGooglebotLine);
}

TEST_F(ScanLogChunk, EndsALineAtCrLfLfOrALoneCrAndSkipsLeadingSpaces) {
    writeChunk("rezOve.000", "msn a\r\nmsn b\nmsn c\rmsn d\r\r\n  msn e\n\rmsn f");
    EXPECT_EQ(form->ScanLogChunk("rezOve.000"), RunStep::Done);
    // "msn d" is followed by a lone CR, then an empty line ended by CR LF; LF CR gives
    // another empty line; "msn f" counts without a line end.
    EXPECT_EQ(counters(), "0 0 0 0 6 / 8");
    EXPECT_EQ(column(visits("msn"), "stime"),
              (std::vector<std::string>{"a", "b", "c", "d", "e", "f"}));
    EXPECT_EQ(column(visits("msn"), "sdate"), std::vector<std::string>(6, "msn"));
}

TEST_F(ScanLogChunk, CountsLinesAtTheEndOfAChunkOnce) {
    const std::vector<std::pair<std::string, int>> cases{
        {"", 0},       {"x", 1},    {"x\n", 1},      {"x\r\n", 1}, {"x\r", 1},
        {"\n", 1},     {"\r\n", 1}, {"x\n\n", 2},    {"\n\r", 2},  {"x\r\r", 2},
        {"\r\r\n", 2}, {"  ", 1},   {"a,b,\"c\"", 1}};
    int expected = 0;
    for (const auto& [content, lines] : cases) {
        writeChunk("rezOve.000", content);
        EXPECT_EQ(form->ScanLogChunk("rezOve.000"), RunStep::Done);
        expected += lines;
        EXPECT_EQ(form->TxtLineCnt.Text(), std::to_string(expected)) << "after " << content;
    }
}

TEST_F(ScanLogChunk, AChunkThatCannotBeReadStopsWithItsReasonAndNothingCounted) {
    writeChunk("rezOve.000", "");
    std::filesystem::create_directory(folder / "temp" / "rezOve.001");
    // Only the work folder is read: a file of that name beside the program is not the chunk.
    folder.writeFile("rezOve.999", "msn in the program folder\n");
    EXPECT_EQ(form->ScanLogChunk("rezOve.000"), RunStep::Done);
    EXPECT_EQ(form->ScanLogChunk("rezOve.001"), RunStep::Failed);
    EXPECT_EQ(form->ScanLogChunk("rezOve.999"), RunStep::Failed);
    EXPECT_EQ(counters(), "0 0 0 0 0 / 0");
    EXPECT_EQ(platform.yields, 0);
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(platform.messages[1].title, "提示");
    ASSERT_TRUE(form->shownFailure());
    EXPECT_EQ(form->shownFailure()->code, std::errc::no_such_file_or_directory);
    EXPECT_EQ(form->shownFailure()->subject, split::chunkPath(folder.str(), "rezOve.999"));
    EXPECT_EQ(platform.messages[1].prompt, messages::chunkUnreadable(*form->shownFailure()));
    EXPECT_EQ(platform.messages[0].prompt,
              messages::chunkUnreadable({std::make_error_code(std::errc::is_a_directory),
                                         split::chunkPath(folder.str(), "rezOve.001"),
                                         {}}));
}

TEST_F(ScanLogChunk, CutsALineLongerThanOneMebibyteIntoMebibyteItems) {
    constexpr std::size_t kMiB = 1 << 20;
    struct Case {
        std::size_t length;
        std::string_view lineEnd;
        int items;
    };
    // A CR LF that straddles the first mebibyte of a chunk is still one line end.
    const Case cases[] = {{kMiB - 1, "\n", 1},   {kMiB - 1, "\r\n", 1}, {kMiB, "\n", 1},
                          {kMiB + 1, "\r\n", 2}, {2 * kMiB, "\n", 2},   {3 * kMiB, "\r\n", 3}};
    int expected = 0;
    for (const auto& [length, lineEnd, items] : cases) {
        writeChunk("rezOve.000", std::string(length, 'x') + std::string(lineEnd) + "y\n");
        EXPECT_EQ(form->ScanLogChunk("rezOve.000"), RunStep::Done);
        expected += items + 1;
        EXPECT_EQ(form->TxtLineCnt.Text(), std::to_string(expected)) << "length " << length;
    }
    // The pieces are cut from the line's first byte: the third of 2.5 MiB starts at 2 MiB.
    std::string line(2 * kMiB + kMiB / 2, 'x');
    line.replace(2 * kMiB, 4, "msn ");
    writeChunk("rezOve.001", line);
    EXPECT_EQ(form->ScanLogChunk("rezOve.001"), RunStep::Done);
    EXPECT_EQ(form->TxtLineCnt.Text(), std::to_string(expected + 3));
    EXPECT_EQ(form->TxtMsnCnt.Text(), "1");
    EXPECT_EQ(form->TxtContent.Text().size(), kMiB / 2);
    EXPECT_EQ(form->TxtContent.Text().substr(0, 5), "msn x");
}

TEST_F(ScanLogChunk, YieldsOnceAfterEachItemWithItsCountsShown) {
    writeChunk("rezOve.000", "baiduspider 1\nplain\nbaiduspider 2\n\nbaiduspider 3\n");
    std::vector<std::string> seen;
    platform.onYield = [&] { seen.push_back(counters()); };
    EXPECT_EQ(form->ScanLogChunk("rezOve.000"), RunStep::Done);
    EXPECT_EQ(seen, (std::vector<std::string>{"1 0 0 0 0 / 1", "1 0 0 0 0 / 2", "2 0 0 0 0 / 3",
                                              "2 0 0 0 0 / 4", "3 0 0 0 0 / 5"}));
    EXPECT_EQ(column(visits("baidu"), "stime"), (std::vector<std::string>{"1", "2", "3"}));
}

TEST_F(ScanLogChunk, AFieldsLineMovesLaterFieldsToTheirColumnsAcrossChunks) {
    writeChunk("rezOve.000",
               "#Fields: date time s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username "
               "c-ip cs(User-Agent) cs(Referer) sc-status sc-substatus sc-win32-status "
               "time-taken\n");
    writeChunk("rezOve.001", "2015-01-13 08:22:18 100.79.192.81 GET /robots.txt - 80 - "
                             "66.249.78.6 Googlebot/2.1 http://ref/ 404 0 2 156\n");
    EXPECT_EQ(form->ScanLogChunk("rezOve.000"), RunStep::Done);
    EXPECT_EQ(form->ScanLogChunk("rezOve.001"), RunStep::Done);
    EXPECT_EQ(counters(), "0 1 0 0 0 / 2");
    const auto stored = visits("google");
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].count("sitename"), 0u);
    EXPECT_EQ(stored[0].at("sip"), "100.79.192.81");
    EXPECT_EQ(stored[0].at("cip"), "66.249.78.6");
    EXPECT_EQ(stored[0].at("UserAgent"), "Googlebot/2.1");
    EXPECT_EQ(stored[0].at("scstatus"), "404");
    EXPECT_EQ(stored[0].at("scwin32status"), "2");
}

TEST_F(ScanLogChunk, AStopInAYieldEndsTheScanWithTheRecordsSoFarCommitted) {
    std::string content;
    for (int i = 1; i <= 10; ++i) {
        content += "baiduspider " + std::to_string(i) + "\n";
    }
    writeChunk("rezOve.000", content);
    platform.onYield = [&] {
        if (platform.yields == 3) {
            form->requestStop();
        }
    };
    EXPECT_EQ(form->ScanLogChunk("rezOve.000"), RunStep::Stopped);
    EXPECT_EQ(counters(), "3 0 0 0 0 / 3");
    EXPECT_EQ(platform.yields, 3);
    EXPECT_EQ(column(visits("baidu"), "stime"), (std::vector<std::string>{"1", "2", "3"}));
}

TEST_F(ScanLogChunk, StopsAtTheFirstCrawlerLineWithoutADatabase) {
    EXPECT_TRUE(form->Form_Unload());
    writeChunk("rezOve.000", "plain\nbaiduspider\nplain\n");
    EXPECT_EQ(form->ScanLogChunk("rezOve.000"), RunStep::Failed);
    // The counters show where it stopped: on the crawler line, counted by both.
    EXPECT_EQ(counters(), "1 0 0 0 0 / 2");
    ASSERT_EQ(platform.messages.size(), 1u);
    ASSERT_TRUE(form->shownFailure());
    EXPECT_EQ(form->shownFailure()->code, Problem::NoDatabase);
    EXPECT_EQ(platform.messages[0].prompt, messages::databaseWriteFailed(*form->shownFailure()));
}

TEST_F(ScanLogChunk, EndsEachChunksLinesWhenScannedOutsideARun) {
    writeChunk("rezOve.000", "a\nms");
    writeChunk("rezOve.001", "n\n");
    EXPECT_EQ(form->ScanLogChunk("rezOve.000"), RunStep::Done);
    EXPECT_EQ(form->ScanLogChunk("rezOve.001"), RunStep::Done);
    EXPECT_EQ(counters(), "0 0 0 0 0 / 3");
}

} // namespace
} // namespace trawlmeter::testing
