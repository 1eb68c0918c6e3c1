#include "support/VisitRecords.h"

#include <sqlite3.h>

namespace trawlmeter::testing {

std::vector<VisitRecord> readVisitRecords(const std::string& databasePath,
                                          const std::string& table) {
    std::vector<VisitRecord> records;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(databasePath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return records;
    }
    const std::string sql =
        "SELECT sdate, stime, sitename, sip, csmethod, csuristem, csuriquery, sport, "
        "csusername, cip, UserAgent, scstatus, scsubstatus, scwin32status FROM \"" +
        table + "\" ORDER BY rowid";
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            VisitRecord record;
            for (int column = 0; column < 14; ++column) {
                const auto* text = sqlite3_column_text(statement, column);
                record.push_back(
                    text ? std::optional<std::string>(reinterpret_cast<const char*>(text))
                         : std::nullopt);
            }
            records.push_back(std::move(record));
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return records;
}

long countRows(const std::string& databasePath, const std::string& table) {
    sqlite3* db = nullptr;
    long count = -1;
    if (sqlite3_open_v2(databasePath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        const std::string sql = "SELECT count(*) FROM \"" + table + "\"";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            count = static_cast<long>(sqlite3_column_int64(statement, 0));
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return count;
}

} // namespace trawlmeter::testing
