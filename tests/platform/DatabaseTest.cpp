#include "platform/Database.h"
#include "support/FaultyVfs.h"
#include "support/ReadRows.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace trawlmeter {
namespace {

using testing::countRows;
using testing::readRows;
using testing::Row;

struct DatabaseEngine : ::testing::Test {
    testing::TestFolder folder;
    std::string path = (folder / "visits.db").string();

    void makeDatabase(const std::string& schema) const {
        folder.createDatabase("visits.db", schema);
    }

    static bool append(db::Recordset& recordset, std::initializer_list<Row::value_type> values,
                       std::initializer_list<std::string_view> fields) {
        recordset.AddNew();
        auto value = values.begin();
        for (auto field : fields) {
            if (*value) {
                recordset.setField(field, **value);
            }
            ++value;
        }
        return recordset.Update().has_value();
    }
};

TEST_F(DatabaseEngine, OpensOnlyExistingDatabaseFiles) {
    EXPECT_EQ(db::Database::open(path), nullptr);
    EXPECT_FALSE(std::filesystem::exists(path)) << "a missing file must not be created";

    folder.writeFile("visits.db", "date time s-ip cs-method\n2008-07-15 00:00:01 1.2.3.4 GET\n");
    EXPECT_EQ(db::Database::open(path), nullptr);

    folder.createVisitDatabase("visits.db.real");
    auto database = db::Database::open((folder / "visits.db.real").string());
    ASSERT_NE(database, nullptr);
    EXPECT_TRUE(database->hasTable("baidu"));
    EXPECT_TRUE(database->hasTable("MSN"));
    EXPECT_FALSE(database->hasTable("bing"));
}

TEST_F(DatabaseEngine, AnEmptyFileOpensWithoutTablesAndStaysEmpty) {
    folder.writeFile("visits.db", "");
    auto database = db::Database::open(path);
    ASSERT_NE(database, nullptr);
    EXPECT_FALSE(database->hasTable("baidu"));
    EXPECT_EQ(database->OpenRecordset("baidu"), nullptr);
    EXPECT_TRUE(database->Close());
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST_F(DatabaseEngine, AViewIsNoTable) {
    makeDatabase("CREATE TABLE t (a TEXT); CREATE VIEW baidu AS SELECT a FROM t;");
    auto database = db::Database::open(path);
    ASSERT_NE(database, nullptr);
    EXPECT_FALSE(database->hasTable("baidu"));
    EXPECT_EQ(database->OpenRecordset("baidu"), nullptr);
}

TEST_F(DatabaseEngine, WritesFieldsByNameAndSkipsMissingOnes) {
    makeDatabase("CREATE TABLE t (a TEXT, B TEXT, c TEXT);");
    auto database = db::Database::open(path);
    auto recordset = database->OpenRecordset("T");
    ASSERT_NE(recordset, nullptr);

    EXPECT_FALSE(recordset->setField("a", "before AddNew"));
    recordset->AddNew();
    EXPECT_TRUE(recordset->setField("A", "one"));
    EXPECT_TRUE(recordset->setField("b", "two"));
    EXPECT_FALSE(recordset->setField("missing", "lost"));
    EXPECT_TRUE(recordset->Update());
    EXPECT_FALSE(recordset->Update()) << "a record is written once";
    recordset->Close();
    EXPECT_TRUE(database->Close());

    EXPECT_EQ(readRows(path, "SELECT a, B, c FROM t"), (std::vector<Row>{{"one", "two", {}}}));
}

TEST_F(DatabaseEngine, ARefusedRecordIsLostAloneAndLaterRecordsAreWritten) {
    makeDatabase("CREATE TABLE t (n TEXT, a TEXT NOT NULL ON CONFLICT ROLLBACK,"
                 " b TEXT CHECK (b <> 'bad'), u TEXT UNIQUE ON CONFLICT REPLACE);");
    auto database = db::Database::open(path);
    auto recordset = database->OpenRecordset("t");
    ASSERT_NE(recordset, nullptr);
    const std::initializer_list<std::string_view> fields{"n", "a", "b", "u"};

    EXPECT_TRUE(append(*recordset, {"1", "x", "ok", "u1"}, fields));
    EXPECT_FALSE(append(*recordset, {"2", {}, "ok", "u2"}, fields)) << "NOT NULL";
    EXPECT_FALSE(append(*recordset, {"3", "x", "bad", "u3"}, fields)) << "CHECK";
    EXPECT_FALSE(append(*recordset, {"4", "x", "ok", "u1"}, fields)) << "must not replace 1";
    EXPECT_TRUE(append(*recordset, {"5", "x", "ok", "u5"}, fields));
    EXPECT_TRUE(database->Close());

    EXPECT_EQ(readRows(path, "SELECT n FROM t ORDER BY rowid"), (std::vector<Row>{{"1"}, {"5"}}));
}

TEST_F(DatabaseEngine, UnassignedColumnsTakeTheTableDefault) {
    makeDatabase("CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT, b TEXT,"
                 " source TEXT NOT NULL DEFAULT 'log');");
    auto database = db::Database::open(path);
    auto recordset = database->OpenRecordset("t");
    ASSERT_NE(recordset, nullptr);

    EXPECT_TRUE(append(*recordset, {"1", "2"}, {"a", "b"}));
    EXPECT_TRUE(append(*recordset, {"3"}, {"a"}));
    EXPECT_TRUE(append(*recordset, {}, {}));
    EXPECT_TRUE(database->Close());

    EXPECT_EQ(
        readRows(path, "SELECT id, a, b, source FROM t ORDER BY id"),
        (std::vector<Row>{{"1", "1", "2", "log"}, {"2", "3", {}, "log"}, {"3", {}, {}, "log"}}));
}

TEST_F(DatabaseEngine, RecordsBecomeVisibleToOthersOnCommit) {
    folder.createVisitDatabase("visits.db");
    auto database = db::Database::open(path);
    auto recordset = database->OpenRecordset("google");
    ASSERT_TRUE(append(*recordset, {"first"}, {"sdate"}));
    EXPECT_EQ(countRows(path, "google"), 0) << "writes are grouped until commit";

    EXPECT_TRUE(database->commit());
    EXPECT_EQ(countRows(path, "google"), 1);

    ASSERT_TRUE(append(*recordset, {"second"}, {"sdate"}));
    EXPECT_TRUE(database->Close());
    EXPECT_EQ(countRows(path, "google"), 2) << "Close commits";
}

TEST_F(DatabaseEngine, ARunCommitsWhileOthersReadAndLeavesTheFileWithARollbackJournal) {
    folder.createVisitDatabase("visits.db");
    auto database = db::Database::open(path);
    auto recordset = database->OpenRecordset("msn");
    ASSERT_TRUE(database->beginRunWrites());
    // Another program holds its view of the file while the run commits.
    sqlite3* other = nullptr;
    sqlite3_stmt* reading = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &other, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_prepare_v2(other, "SELECT count(*) FROM msn", -1, &reading, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(reading), SQLITE_ROW);
    database->setBusyWait(std::chrono::milliseconds(100), {});
    ASSERT_TRUE(append(*recordset, {"one"}, {"sdate"}));
    EXPECT_TRUE(database->commit());
    ASSERT_TRUE(append(*recordset, {"two"}, {"sdate"}));
    EXPECT_TRUE(database->endRunWrites());
    EXPECT_EQ(countRows(path, "msn"), 2);
    sqlite3_finalize(reading);
    sqlite3_close(other);

    EXPECT_TRUE(database->Close());
    // As other programs and copies of the file alone expect to find it.
    EXPECT_EQ(readRows(path, "PRAGMA journal_mode"), std::vector<Row>{{"delete"}});
    EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
    EXPECT_EQ(readRows(path, "SELECT sdate FROM msn"), (std::vector<Row>{{"one"}, {"two"}}));
}

TEST_F(DatabaseEngine, ARecordsetOutlivingItsDatabaseRefusesWrites) {
    folder.createVisitDatabase("visits.db");
    auto database = db::Database::open(path);
    auto recordset = database->OpenRecordset("yahoo");
    ASSERT_NE(recordset, nullptr);
    database.reset();

    EXPECT_FALSE(append(*recordset, {"late"}, {"sdate"}));
    EXPECT_EQ(countRows(path, "yahoo"), 0);
}

TEST_F(DatabaseEngine, WaitsForAnotherProgramsLockAndGivesUpWithTheReasonAfterItsLimit) {
    folder.createVisitDatabase("visits.db");
    auto database = db::Database::open(path);
    auto recordset = database->OpenRecordset("baidu");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    int waits = 0;
    bool release = true;
    database->setBusyWait(std::chrono::milliseconds(200), [&] {
        if (++waits == 5 && release) {
            sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
        }
    });
    EXPECT_TRUE(append(*recordset, {"waited"}, {"sdate"}));
    EXPECT_EQ(waits, 5);
    EXPECT_TRUE(database->commit());

    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    release = false;
    recordset->AddNew();
    const auto refused = recordset->Update();
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), "database is locked");
    EXPECT_GT(waits, 10);
    sqlite3_close(other);
}

TEST_F(DatabaseEngine, AFullDiskRefusesTheCommitWithTheReasonAndDropsNothingCommitted) {
    testing::FaultyVfs vfs;
    folder.createVisitDatabase("visits.db");
    auto database = db::Database::open(path);
    auto recordset = database->OpenRecordset("sogou");
    ASSERT_TRUE(append(*recordset, {"kept"}, {"sdate"}));
    ASSERT_TRUE(database->commit());
    ASSERT_TRUE(append(*recordset, {"lost"}, {"sdate"}));
    vfs.failFrom(1);
    const auto refused = database->commit();
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), "database or disk is full");
    database->rollback();
    database.reset();
    // The next start, with room on the disk again, finds the last commit whole.
    vfs.heal();
    ASSERT_NE(db::Database::open(path), nullptr);
    EXPECT_EQ(readRows(path, "SELECT sdate FROM sogou"), std::vector<Row>{{"kept"}});
}

} // namespace
} // namespace trawlmeter
