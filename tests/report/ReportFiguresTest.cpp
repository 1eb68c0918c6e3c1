#include "VisitRows.h"
#include "platform/LargePageArena.h"
#include "platform/Problem.h"
#include "report/Report.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace trawlmeter {
namespace {

using report::Count;
using std::nullopt;
using testing::addVisits;
using testing::kEngines;

struct ReportFigures : ::testing::Test {
    ReportFigures() { folder.createVisitDatabase(); }
    testing::TestFolder folder;
    std::string database = (folder / "rezOve.mdb").string();
};

// The figures come from counting in memory, from SQLite's sorts for the lists that outgrow the
// memory allowed, or from both; they must not differ.
struct ReportFiguresWithin : ReportFigures, ::testing::WithParamInterface<std::size_t> {
    Expected<report::Report> collect() {
        return report::collectReport(database, kEngines, GetParam());
    }
};

INSTANTIATE_TEST_SUITE_P(Budgets, ReportFiguresWithin,
                         ::testing::Values(report::kTallyBudget, 2 * LargePageArena::kFirstBlock,
                                           0),
                         [](const auto& budget) {
                             return budget.param == 0 ? std::string("AllSorted")
                                    : budget.param < report::kTallyBudget
                                        ? std::string("HalfSorted")
                                        : std::string("Counted");
                         });

TEST_P(ReportFiguresWithin, KnownRecordsGiveEveryFigureWithEmptyAndNullAlike) {
    addVisits(database, "baidu",
              {{"2024-05-02", "00:00:00", "/c", "10.0.0.3", "304"},
               {"2024-05-02", "23:59:59", "/b", "10.0.0.2", "404"},
               {"2024-05-01", "08:00:01", "/a", "10.0.0.1", "200"},
               {"2024-05-01", "08:30:00", "/b", "10.0.0.1", "500"},
               {"2024-05-01", "7:05:00", "/a", nullopt, "301"},
               {"", "24:00:00", nullopt, "", "200"},
               {nullopt, nullopt, "", "10.0.0.2", nullopt}});
    // A layout without date and time.
    addVisits(database, "google",
              {{"", "", "/x", "1.2.3.4", "200"}, {"", "", "/x", "1.2.3.4", "200"}});

    const auto collected = collect();
    ASSERT_TRUE(collected) << collected.error();
    ASSERT_EQ(collected->engines.size(), 5u);
    const auto& baidu = collected->engines[0];
    EXPECT_EQ(baidu.name, "Baidu");
    EXPECT_EQ(baidu.table, "baidu");
    EXPECT_EQ(baidu.visits, 7);
    EXPECT_EQ(baidu.first, "2024-05-01 08:00:01") << "text order, records without date left out";
    EXPECT_EQ(baidu.last, "2024-05-02 23:59:59");
    EXPECT_EQ(baidu.days, 2);
    EXPECT_EQ(baidu.urls, 4);
    EXPECT_EQ(baidu.clients, 4);
    EXPECT_EQ(baidu.daily, (std::vector<Count>{{"", 2}, {"2024-05-01", 3}, {"2024-05-02", 2}}));
    std::array<long long, 24> hourly{};
    hourly[0] = 1;
    hourly[8] = 2;
    hourly[23] = 1;
    EXPECT_EQ(baidu.hourly, hourly) << "\"7:05\", \"24:00\" and NULL have no hour";
    EXPECT_EQ(
        baidu.statuses,
        (std::vector<Count>{{"200", 2}, {"", 1}, {"301", 1}, {"304", 1}, {"404", 1}, {"500", 1}}));
    EXPECT_EQ(baidu.topUrls, (std::vector<Count>{{"", 2}, {"/a", 2}, {"/b", 2}, {"/c", 1}}));
    EXPECT_EQ(baidu.errorUrls, (std::vector<Count>{{"/b", 2}}));
    EXPECT_EQ(baidu.clientVisits,
              (std::vector<Count>{{"", 2}, {"10.0.0.1", 2}, {"10.0.0.2", 2}, {"10.0.0.3", 1}}));

    const auto& google = collected->engines[1];
    EXPECT_EQ(google.visits, 2);
    EXPECT_EQ(google.first, "");
    EXPECT_EQ(google.last, "");
    EXPECT_EQ(google.days, 0);
    EXPECT_EQ(google.daily, (std::vector<Count>{{"", 2}}));
    EXPECT_EQ(google.hourly, (std::array<long long, 24>{}));
    EXPECT_EQ(collected->engines[4].visits, 0);
    EXPECT_TRUE(collected->engines[4].statuses.empty());
    EXPECT_EQ(collected->database, database);
}

TEST_P(ReportFiguresWithin, TopUrlsStopAtTwentyAndClientsComeInOrderOfVisitsThenText) {
    std::vector<testing::Visit> visits;
    for (int i = 0; i < 21; ++i) {
        const std::string n = (i < 10 ? "0" : "") + std::to_string(i);
        visits.push_back(
            {"2024-05-01", "10:00:00", "/u" + n, "10.0.0." + std::to_string(i % 11), "503"});
    }
    addVisits(database, "msn", visits);
    const auto collected = collect();
    ASSERT_TRUE(collected) << collected.error();
    const auto& msn = collected->engines[4];
    EXPECT_EQ(msn.urls, 21);
    EXPECT_EQ(msn.clients, 11);
    ASSERT_EQ(msn.topUrls.size(), 20u);
    EXPECT_EQ(msn.topUrls.back(), (Count{"/u19", 1}));
    EXPECT_EQ(msn.errorUrls, msn.topUrls);
    // Every client, for the verification; the page shows the first ten.
    ASSERT_EQ(msn.clientVisits.size(), 11u);
    EXPECT_EQ(msn.clientVisits.front(), (Count{"10.0.0.0", 2}));
    EXPECT_EQ(msn.clientVisits[9], (Count{"10.0.0.9", 2}));
    EXPECT_EQ(msn.clientVisits.back(), (Count{"10.0.0.10", 1}));
}

TEST_F(ReportFigures, AnUnreadableSourceIsAFailureThatNamesIt) {
    testing::executeSql(database, "DROP TABLE yahoo; CREATE TABLE thin (sdate TEXT, stime TEXT)");
    auto collected = report::collectReport(database, kEngines);
    ASSERT_FALSE(collected);
    EXPECT_EQ(collected.error().code, Problem::NoSuchTable);
    EXPECT_EQ(collected.error().subject, "yahoo");

    const report::ReportEngine thin{"Thin", "thin", {}, {}};
    collected = report::collectReport(database, std::span(&thin, 1));
    ASSERT_FALSE(collected);
    EXPECT_EQ(collected.error().code, Problem::MissingColumns);
    EXPECT_EQ(collected.error().subject, "thin");
    EXPECT_EQ(collected.error().detail, "csuristem, cip, scstatus");

    const std::string missing = (folder / "none.mdb").string();
    collected = report::collectReport(missing, kEngines);
    ASSERT_FALSE(collected);
    EXPECT_EQ(collected.error().code, sqliteError(SQLITE_CANTOPEN));
    EXPECT_EQ(collected.error().subject, missing);
}

} // namespace
} // namespace trawlmeter
