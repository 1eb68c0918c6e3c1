#include "VisitRows.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace trawlmeter::testing {

void addVisits(const std::string& databasePath, std::string_view table,
               const std::vector<Visit>& visits) {
    sqlite3* db = nullptr;
    sqlite3_stmt* insert = nullptr;
    const std::string sql = "INSERT INTO " + std::string(table) +
                            " (sdate, stime, csuristem, cip, scstatus) VALUES (?, ?, ?, ?, ?)";
    ASSERT_EQ(sqlite3_open(databasePath.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &insert, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (const Visit& visit : visits) {
        int column = 0;
        for (const auto* field :
             {&visit.sdate, &visit.stime, &visit.url, &visit.client, &visit.status}) {
            ++column;
            if (*field) {
                sqlite3_bind_text(insert, column, (*field)->data(),
                                  static_cast<int>((*field)->size()), SQLITE_TRANSIENT);
            } else {
                sqlite3_bind_null(insert, column);
            }
        }
        EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE) << sqlite3_errmsg(db);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    EXPECT_EQ(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

void executeSql(const std::string& databasePath, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(databasePath.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
}

} // namespace trawlmeter::testing
