#include "app/CrawlerEngines.h"
#include "store/VisitColumns.h"
#include "support/ReadRows.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

namespace trawlmeter {
namespace {

using testing::readRows;
using testing::Row;

// Runs the build's database tool; its exit status, or -1 when it did not run.
int makeVisitDb(const std::string& schema, const std::string& target) {
    const std::string command = std::string("'") + TRAWLMETER_MAKE_VISIT_DB + "' '" + schema +
                                "' '" + target + "' 2>/dev/null";
    const int status = std::system(command.c_str());
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// name, type, notnull, default, pk of each column, as the table was declared.
std::vector<Row> columnsOf(const std::string& path, std::string_view table) {
    return readRows(path,
                    "SELECT name, type, \"notnull\", dflt_value, pk FROM pragma_table_info('" +
                        std::string(table) + "')");
}

TEST(DeliveredDatabase, TheBuildLaysFiveEngineTablesAndTheOtherCrawlersTableBesideTheProgram) {
    const std::string path = std::string(TRAWLMETER_PROGRAM_DIR) + "/rezOve.mdb";
    ASSERT_TRUE(std::filesystem::is_regular_file(path));
    std::vector<Row> expected;
    expected.reserve(store::kVisitColumns.size());
    for (auto column : store::kVisitColumns) {
        expected.push_back({std::string(column), "TEXT", "0", {}, "0"});
    }
    for (auto table : kCrawlerTables) {
        EXPECT_EQ(columnsOf(path, table), expected) << table;
    }
    expected.push_back({std::string(store::kCrawlerColumn), "TEXT", "0", {}, "0"});
    EXPECT_EQ(columnsOf(path, store::kOtherCrawlersTable), expected);
    EXPECT_EQ(readRows(path, "SELECT count(*) FROM sqlite_master"), (std::vector<Row>{{"6"}}));
}

TEST(DeliveredDatabase, TheToolMakesAWholeNewDatabase) {
    testing::TestFolder folder;
    const auto target = (folder / "program/rezOve.mdb").string();
    ASSERT_EQ(makeVisitDb(TRAWLMETER_SCHEMA_FILE, target), 0);
    EXPECT_EQ(columnsOf(target, "sogou").size(), 14u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "program"),
                            std::filesystem::directory_iterator()),
              1)
        << "no partial file is left behind";
}

TEST(DeliveredDatabase, TheToolNeverReplacesAnExistingFile) {
    testing::TestFolder folder;
    folder.createVisitDatabase();
    const auto target = (folder / "rezOve.mdb").string();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(target.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(db, "INSERT INTO baidu (sdate) VALUES ('kept')", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(db);
    const auto before = folder.readFile("rezOve.mdb");
    folder.writeFile("empty.mdb", "");

    EXPECT_EQ(makeVisitDb(TRAWLMETER_SCHEMA_FILE, target), 0);
    EXPECT_EQ(makeVisitDb(TRAWLMETER_SCHEMA_FILE, (folder / "empty.mdb").string()), 0);
    EXPECT_EQ(folder.readFile("rezOve.mdb"), before);
    EXPECT_EQ(folder.readFile("empty.mdb"), "");
}

TEST(DeliveredDatabase, TheToolFailsAndLaysOutNoFileForABadSchema) {
    testing::TestFolder folder;
    folder.writeFile("empty.sql", "");
    folder.writeFile("comments.sql", "-- nothing here\n");
    folder.writeFile("broken.sql", "CREATE TABLE baidu (sdate TEXT);\nCREATE TABLE (;\n");
    for (const char* schema : {"missing.sql", "empty.sql", "comments.sql", "broken.sql"}) {
        const auto target = (folder / "out" / schema).string() + ".mdb";
        EXPECT_NE(makeVisitDb((folder / schema).string(), target), 0) << schema;
        EXPECT_FALSE(std::filesystem::exists(target)) << schema;
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder / "out")) << "no partial file is left behind";
}

} // namespace
} // namespace trawlmeter
