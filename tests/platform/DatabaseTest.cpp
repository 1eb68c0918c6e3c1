#include "platform/Database.h"
#include "platform/Problem.h"
#include "support/FaultyVfs.h"
#include "support/ReadRows.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

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

    static Expected<void> append(db::Recordset& recordset,
                                 std::initializer_list<Row::value_type> values,
                                 std::initializer_list<std::string_view> fields) {
        recordset.AddNew();
        auto value = values.begin();
        for (auto field : fields) {
            if (*value) {
                recordset.setField(field, **value);
            }
            ++value;
        }
        return recordset.Update();
    }

    // The database at `path`, which the test needs open.
    static std::unique_ptr<db::Database> opened(const std::string& path) {
        auto database = db::Database::open(path);
        EXPECT_TRUE(database) << database.error();
        return database ? std::move(*database) : nullptr;
    }

    // The table of that name, which the test needs.
    static std::shared_ptr<db::Recordset> table(db::Database& database, std::string_view name) {
        auto recordset = database.OpenRecordset(name);
        EXPECT_TRUE(recordset) << recordset.error();
        return recordset.value_or(nullptr);
    }

    // The failure of an expected failure, or a failure that says there was none.
    template <class T> static Failure failureOf(const Expected<T>& outcome) {
        return outcome ? Failure{{}, "<no failure>", {}} : outcome.error();
    }
};

TEST_F(DatabaseEngine, OpensOnlyExistingDatabaseFiles) {
    auto missing = db::Database::open(path);
    EXPECT_EQ(failureOf(missing).code, sqliteError(SQLITE_CANTOPEN));
    EXPECT_EQ(failureOf(missing).subject, path);
    EXPECT_FALSE(std::filesystem::exists(path)) << "a missing file must not be created";

    folder.writeFile("visits.db", "date time s-ip cs-method\n2008-07-15 00:00:01 1.2.3.4 GET\n");
    EXPECT_EQ(failureOf(db::Database::open(path)).code, sqliteError(SQLITE_NOTADB));

    folder.createVisitDatabase("visits.db.real");
    auto database = opened((folder / "visits.db.real").string());
    ASSERT_NE(database, nullptr);
    EXPECT_TRUE(database->OpenRecordset("baidu"));
    EXPECT_EQ(table(*database, "MSN")->tableName(), "MSN");
    const auto bing = database->OpenRecordset("bing");
    EXPECT_EQ(failureOf(bing).code, Problem::NoSuchTable);
    EXPECT_EQ(failureOf(bing).subject, "bing");
}

TEST_F(DatabaseEngine, AnEmptyFileOpensWithoutTablesAndStaysEmpty) {
    folder.writeFile("visits.db", "");
    auto database = opened(path);
    ASSERT_NE(database, nullptr);
    EXPECT_EQ(failureOf(database->OpenRecordset("baidu")).code, Problem::NoSuchTable);
    EXPECT_TRUE(database->Close());
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST_F(DatabaseEngine, AViewIsNoTable) {
    makeDatabase("CREATE TABLE t (a TEXT); CREATE VIEW baidu AS SELECT a FROM t;");
    auto database = opened(path);
    ASSERT_NE(database, nullptr);
    EXPECT_EQ(failureOf(database->OpenRecordset("baidu")).code, Problem::NoSuchTable);
}

TEST_F(DatabaseEngine, ATableAnotherProgramDropsIsNoLongerOpened) {
    folder.createVisitDatabase("visits.db");
    auto database = opened(path);
    auto yahoo = table(*database, "yahoo");
    ASSERT_NE(yahoo, nullptr);
    folder.createDatabase("visits.db", "DROP TABLE yahoo;");

    EXPECT_EQ(failureOf(database->OpenRecordset("yahoo")).code, Problem::NoSuchTable);
    EXPECT_EQ(failureOf(append(*yahoo, {"late"}, {"sdate"})).code, Problem::DatabaseClosed)
        << "the table handed out before refuses its records";
    EXPECT_TRUE(append(*table(*database, "google"), {"kept"}, {"sdate"}));
    EXPECT_TRUE(database->Close());
    EXPECT_EQ(countRows(path, "google"), 1);
}

TEST_F(DatabaseEngine, WritesFieldsByNameAndSkipsMissingOnes) {
    makeDatabase("CREATE TABLE t (a TEXT, B TEXT, c TEXT);");
    auto database = opened(path);
    auto recordset = table(*database, "T");
    ASSERT_NE(recordset, nullptr);

    EXPECT_FALSE(recordset->setField("a", "before AddNew"));
    recordset->AddNew();
    EXPECT_TRUE(recordset->setField("A", "one"));
    EXPECT_TRUE(recordset->setField("b", "two"));
    EXPECT_FALSE(recordset->setField("missing", "lost"));
    EXPECT_TRUE(recordset->Update());
    EXPECT_EQ(failureOf(recordset->Update()).code, Problem::NoRecordStarted)
        << "a record is written once";
    recordset->Close();
    EXPECT_TRUE(database->Close());

    EXPECT_EQ(readRows(path, "SELECT a, B, c FROM t"), (std::vector<Row>{{"one", "two", {}}}));
}

TEST_F(DatabaseEngine, ARefusedRecordIsLostAloneAndLaterRecordsAreWritten) {
    makeDatabase("CREATE TABLE t (n TEXT, a TEXT NOT NULL ON CONFLICT ROLLBACK,"
                 " b TEXT CHECK (b <> 'bad'), u TEXT UNIQUE ON CONFLICT REPLACE);");
    auto database = opened(path);
    auto recordset = table(*database, "t");
    ASSERT_NE(recordset, nullptr);
    const std::initializer_list<std::string_view> fields{"n", "a", "b", "u"};

    EXPECT_TRUE(append(*recordset, {"1", "x", "ok", "u1"}, fields));
    const auto notNull = append(*recordset, {"2", {}, "ok", "u2"}, fields);
    EXPECT_EQ(failureOf(notNull).code, sqliteError(SQLITE_CONSTRAINT_NOTNULL));
    EXPECT_EQ(failureOf(notNull).subject, "t");
    EXPECT_EQ(failureOf(append(*recordset, {"3", "x", "bad", "u3"}, fields)).code,
              sqliteError(SQLITE_CONSTRAINT_CHECK));
    EXPECT_EQ(failureOf(append(*recordset, {"4", "x", "ok", "u1"}, fields)).code,
              sqliteError(SQLITE_CONSTRAINT_UNIQUE))
        << "must not replace 1";
    EXPECT_TRUE(append(*recordset, {"5", "x", "ok", "u5"}, fields));
    EXPECT_TRUE(database->Close());

    EXPECT_EQ(readRows(path, "SELECT n FROM t ORDER BY rowid"), (std::vector<Row>{{"1"}, {"5"}}));
}

TEST_F(DatabaseEngine, ARecordThatATriggerOrAConflictClauseIgnoresIsRefused) {
    makeDatabase("CREATE TABLE t (n TEXT, u TEXT UNIQUE ON CONFLICT IGNORE);"
                 "CREATE TRIGGER drop_two BEFORE INSERT ON t WHEN NEW.n = '2'"
                 " BEGIN SELECT RAISE(IGNORE); END;");
    auto database = opened(path);
    auto recordset = table(*database, "t");
    ASSERT_NE(recordset, nullptr);
    const std::initializer_list<std::string_view> fields{"n", "u"};

    EXPECT_TRUE(append(*recordset, {"1", "u1"}, fields));
    const auto ignored = append(*recordset, {"2", "u2"}, fields);
    EXPECT_EQ(failureOf(ignored).code, Problem::RecordIgnored);
    EXPECT_EQ(failureOf(ignored).subject, "t");
    EXPECT_EQ(failureOf(append(*recordset, {"3", "u1"}, fields)).code,
              sqliteError(SQLITE_CONSTRAINT_UNIQUE));
    EXPECT_TRUE(append(*recordset, {"4", "u4"}, fields));
    EXPECT_TRUE(database->Close());

    EXPECT_EQ(readRows(path, "SELECT n FROM t ORDER BY rowid"), (std::vector<Row>{{"1"}, {"4"}}));
}

TEST_F(DatabaseEngine, UnassignedColumnsTakeTheTableDefault) {
    makeDatabase("CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT, b TEXT,"
                 " source TEXT NOT NULL DEFAULT 'log');");
    auto database = opened(path);
    auto recordset = table(*database, "t");
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
    auto database = opened(path);
    auto recordset = table(*database, "google");
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
    auto database = opened(path);
    auto recordset = table(*database, "msn");
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
    auto database = opened(path);
    auto recordset = table(*database, "yahoo");
    ASSERT_NE(recordset, nullptr);
    database.reset();

    EXPECT_EQ(failureOf(append(*recordset, {"late"}, {"sdate"})).code, Problem::DatabaseClosed);
    EXPECT_EQ(countRows(path, "yahoo"), 0);
}

TEST_F(DatabaseEngine, WaitsForAnotherProgramsLockAndGivesUpWithTheReasonAfterItsLimit) {
    folder.createVisitDatabase("visits.db");
    auto database = opened(path);
    auto recordset = table(*database, "baidu");
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
    EXPECT_EQ(failureOf(refused).code, sqliteError(SQLITE_BUSY));
    EXPECT_EQ(failureOf(refused).subject, path) << "the lock is the database's";
    EXPECT_GT(waits, 10);
    sqlite3_close(other);
}

TEST_F(DatabaseEngine, AFullDiskRefusesTheCommitWithTheReasonAndDropsNothingCommitted) {
    testing::FaultyVfs vfs;
    folder.createVisitDatabase("visits.db");
    auto database = opened(path);
    auto recordset = table(*database, "sogou");
    ASSERT_TRUE(append(*recordset, {"kept"}, {"sdate"}));
    ASSERT_TRUE(database->commit());
    ASSERT_TRUE(append(*recordset, {"lost"}, {"sdate"}));
    vfs.failFrom(1);
    const auto refused = database->commit();
    EXPECT_EQ(failureOf(refused).code, std::errc::no_space_on_device);
    EXPECT_EQ(failureOf(refused).subject, path);
    database->rollback();
    database.reset();
    // The next start, with room on the disk again, finds the last commit whole.
    vfs.heal();
    ASSERT_TRUE(db::Database::open(path));
    EXPECT_EQ(readRows(path, "SELECT sdate FROM sogou"), std::vector<Row>{{"kept"}});
}

} // namespace
} // namespace trawlmeter
