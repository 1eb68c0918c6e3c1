#include "app/MainForm.h"
#include "platform/Problem.h"
#include "support/ReadRows.h"
#include "analysis/FieldLayout.h"
#include "analysis/LineCutter.h"
#include "store/VisitRecord.h"
#include "store/VisitColumns.h"
#include "support/FakePlatform.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <sstream>

namespace trawlmeter {
namespace {

using testing::countRows;
using testing::readRows;
using testing::Row;

constexpr const char* kAllFields =
    "sdate, stime, sitename, sip, csmethod, csuristem, csuriquery, sport, csusername, cip,"
    " UserAgent, scstatus, scsubstatus, scwin32status";

constexpr const char* kBaiduLine =
    "2008-07-15 00:01:02 W3SVC1 10.0.0.5 GET /news/index.asp id=7 80 - 220.181.7.1 "
    "Baiduspider+(+http://www.baidu.com/search/spider.htm) 200 0 0";

// Pieces separated by runs of white space, the way a reader of the log would see them.
Row words(const std::string& text) {
    Row row;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        row.emplace_back(word);
    }
    return row;
}

const Row kBaiduRow = words(kBaiduLine);

struct VisitExport : ::testing::Test {
    testing::TestFolder folder;
    testing::FakePlatform platform;
    MainForm form{platform.ports(folder.str())};
    std::string databasePath = folder.str() + "/rezOve.mdb";

    void load() {
        form.Form_Load();
        ASSERT_NE(form.VisitDb, nullptr);
    }

    using SaveClick = MainForm::VisitExport (MainForm::*)();

    MainForm::VisitExport save(std::string_view text,
                               SaveClick saveClick = &MainForm::CmdSaveBaidu_Click) {
        form.TxtContent.setText(text);
        return (form.*saveClick)();
    }

    // The table of the last export held in VisitRs; "" when it holds none.
    std::string lastTable() const {
        const auto recordset = form.VisitRs.lock();
        return recordset ? recordset->tableName() : "";
    }

    std::vector<Row> stored(const std::string& table = "baidu") {
        EXPECT_TRUE(form.VisitDb->commit().has_value());
        return readRows(databasePath,
                        std::string("SELECT ") + kAllFields + " FROM " + table + " ORDER BY rowid");
    }
};

struct DeliveredVisitExport : VisitExport {
    void SetUp() override {
        folder.createVisitDatabase();
        load();
    }
};

TEST_F(DeliveredVisitExport, StoresTheFirstFourteenPiecesAndLeavesMissingOnesEmpty) {
    EXPECT_TRUE(save(kBaiduLine));
    EXPECT_TRUE(save(std::string(kBaiduLine) + " 1234 567 15"));
    EXPECT_TRUE(save("2008-07-15 00:01:02 W3SVC1"));
    EXPECT_TRUE(save(""));
    Row shortRow(14);
    std::copy_n(kBaiduRow.begin(), 3, shortRow.begin());
    EXPECT_EQ(stored(), (std::vector<Row>{kBaiduRow, kBaiduRow, shortRow, Row(14)}));
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(DeliveredVisitExport, TwoSpacesGiveAnEmptyPieceAndShiftTheRest) {
    EXPECT_TRUE(save("2008-07-15  00:01:02 W3SVC1 "));
    EXPECT_EQ(
        stored(),
        (std::vector<Row>{
            {"2008-07-15", "", "00:01:02", "W3SVC1", "", {}, {}, {}, {}, {}, {}, {}, {}, {}}}));
}

TEST_F(DeliveredVisitExport, PiecesAreStoredUnchanged) {
    const std::string line = "2008-07-15 23:59:59 W3SVC1 ::1 get /A%20b/c.ASP 'x'=\"y\"; - - - "
                             "Mozilla/5.0+(compatible;+Googlebot/2.1) 200 蜘蛛,访问 0";
    EXPECT_TRUE(save(line, &MainForm::CmdSaveGoogle_Click));
    EXPECT_EQ(stored("google"), std::vector<Row>{words(line)});
}

TEST_F(DeliveredVisitExport, EveryExportAppendsToItsOwnTableInCallOrder) {
    const std::pair<SaveClick, std::string> exports[] = {{&MainForm::CmdSaveBaidu_Click, "baidu"},
                                                         {&MainForm::CmdSaveGoogle_Click, "google"},
                                                         {&MainForm::CmdSaveYahoo_Click, "yahoo"},
                                                         {&MainForm::CmdSaveSogou_Click, "sogou"},
                                                         {&MainForm::CmdSaveMsn_Click, "msn"}};
    for (const auto& [saveClick, table] : exports) {
        EXPECT_TRUE(save(table + " first", saveClick));
        EXPECT_TRUE(save(table + " second", saveClick));
        EXPECT_TRUE(save(table + " second", saveClick));
    }
    ASSERT_TRUE(form.VisitDb->commit());
    for (const auto& [saveClick, table] : exports) {
        EXPECT_EQ(readRows(databasePath, "SELECT sdate, stime FROM " + table + " ORDER BY rowid"),
                  (std::vector<Row>{{table, "first"}, {table, "second"}, {table, "second"}}))
            << table;
    }
}

TEST_F(DeliveredVisitExport, VisitRsHoldsTheTableOfTheLastExport) {
    EXPECT_EQ(lastTable(), "");
    EXPECT_TRUE(save("x", &MainForm::CmdSaveSogou_Click));
    EXPECT_EQ(lastTable(), "sogou");
    EXPECT_TRUE(save("x", &MainForm::CmdSaveMsn_Click));
    EXPECT_EQ(lastTable(), "msn");
}

TEST_F(DeliveredVisitExport, ATableDroppedByAnotherProgramRefusesItsRecordsWithTheReason) {
    testing::readRows(databasePath, "SELECT 1"); // the schema is read before the change
    folder.createDatabase("rezOve.mdb", "DROP TABLE yahoo;");
    EXPECT_TRUE(save("before", &MainForm::CmdSaveGoogle_Click));
    const auto refused = save(kBaiduLine, &MainForm::CmdSaveYahoo_Click);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, Problem::NoSuchTable);
    EXPECT_EQ(refused.error().subject, "yahoo");
    EXPECT_EQ(lastTable(), "google") << "a failed open keeps VisitRs";
    EXPECT_TRUE(save(kBaiduLine, &MainForm::CmdSaveBaidu_Click));

    EXPECT_EQ(stored(), std::vector<Row>{kBaiduRow});
    EXPECT_EQ(countRows(databasePath, "google"), 1);
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(VisitExport, WithoutADatabaseNothingIsStored) {
    form.Form_Load();
    platform.messages.clear();
    const auto refused = save(kBaiduLine);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, Problem::NoDatabase);
    EXPECT_EQ(form.VisitRs.lock(), nullptr);
    EXPECT_TRUE(platform.messages.empty());
}

// The layout is set by the scanner's "#Fields:" lines; the record is filled the same way here.
TEST_F(VisitExport, FieldsLandInTheColumnsTheirLayoutNames) {
    folder.createVisitDatabase();
    load();
    const auto layout = analysis::FieldLayout::fromFieldNames(
        "date time s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip"
        " cs(User-Agent) cs(Referer) sc-status sc-substatus sc-win32-status sc-bytes cs-bytes"
        " time-taken ");
    const std::string line = "2012-02-21 04:20:39 10.0.0.9 GET /robots.txt - 80 - 66.249.72.1 "
                             "Mozilla/5.0+(compatible;+Googlebot/2.1) - 404 0 2 1460 207 15";
    auto recordset = form.VisitDb->OpenRecordset("google");
    ASSERT_TRUE(recordset) << recordset.error();
    (*recordset)->AddNew();
    store::fillVisitRecord(**recordset, line, layout);
    ASSERT_TRUE((*recordset)->Update());

    EXPECT_EQ(stored("google"), (std::vector<Row>{{"2012-02-21",
                                                   "04:20:39",
                                                   {},
                                                   "10.0.0.9",
                                                   "GET",
                                                   "/robots.txt",
                                                   "-",
                                                   "80",
                                                   "-",
                                                   "66.249.72.1",
                                                   "Mozilla/5.0+(compatible;+Googlebot/2.1)",
                                                   "404",
                                                   "0",
                                                   "2"}}));
}

} // namespace
} // namespace trawlmeter
