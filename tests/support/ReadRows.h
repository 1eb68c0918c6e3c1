#pragma once

#include <sqlite3.h>

#include <optional>
#include <string>
#include <vector>

namespace trawlmeter::testing {

using Row = std::vector<std::optional<std::string>>;

// Reads every row of `sql` through a connection of its own, as another program would. NULL
// reads as nothing. A failing query gives a single row holding the error text.
inline std::vector<Row> readRows(const std::string& databasePath, const std::string& sql) {
    std::vector<Row> rows;
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_open_v2(databasePath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        rows.push_back({std::string("error: ") + sqlite3_errmsg(db)});
        sqlite3_close(db);
        return rows;
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
        Row row;
        for (int column = 0; column < sqlite3_column_count(statement); ++column) {
            const auto* text =
                reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
            row.push_back(text ? std::optional<std::string>(text) : std::nullopt);
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

// The number of rows of a table, or -1 when it cannot be read.
inline long countRows(const std::string& databasePath, const std::string& table) {
    const auto rows = readRows(databasePath, "SELECT count(*) FROM \"" + table + "\"");
    if (rows.size() != 1 || !rows[0][0] || rows[0][0]->rfind("error: ", 0) == 0) {
        return -1;
    }
    return std::stol(*rows[0][0]);
}

} // namespace trawlmeter::testing
