#pragma once

#include "report/Report.h"
#include "support/ShippedEngines.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace trawlmeter::testing {

// The fields of a record that the report reads; nothing stands for NULL.
struct Visit {
    std::optional<std::string> sdate, stime, url, client, status;
};

// The engines as the program ships them.
inline constexpr auto kEngines = [] {
    std::array<report::ReportEngine, kCrawlerEngines.size()> engines{};
    for (std::size_t i = 0; i < engines.size(); ++i) {
        const CrawlerEngine& engine = kCrawlerEngines[i];
        engines[i] = {engine.name, engine.table, engine.domains, engine.rangeFiles};
    }
    return engines;
}();

// The report of a database, unverified, written to `outputPath`.
inline Expected<void> writeReport(const std::string& databasePath, const std::string& outputPath) {
    const auto collected = report::collectReport(databasePath, kEngines);
    if (!collected) {
        return tl::unexpected(collected.error());
    }
    return report::saveReport(*collected, outputPath);
}

// Runs SQL on the database in one transaction; with visits, once for each, their fields bound to
// parameters 1 to 5 (nothing as NULL).
inline void executeSql(const std::string& databasePath, const std::string& sql,
                       const std::vector<Visit>& visits = {}) {
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_open(databasePath.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    if (visits.empty()) {
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
    } else {
        EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
    }
    for (const Visit& visit : visits) {
        int column = 0;
        for (const auto* field :
             {&visit.sdate, &visit.stime, &visit.url, &visit.client, &visit.status}) {
            sqlite3_bind_text(statement, ++column, *field ? (*field)->c_str() : nullptr,
                              *field ? static_cast<int>((*field)->size()) : 0, SQLITE_TRANSIENT);
        }
        EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE) << sqlite3_errmsg(db);
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    EXPECT_EQ(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

inline void addVisits(const std::string& databasePath, const std::string& table,
                      const std::vector<Visit>& visits) {
    executeSql(databasePath,
               "INSERT INTO " + table +
                   " (sdate, stime, csuristem, cip, scstatus) VALUES (?, ?, ?, ?, ?)",
               visits);
}

} // namespace trawlmeter::testing

namespace trawlmeter::report {

inline void PrintTo(const Count& count, std::ostream* out) {
    *out << '"' << count.value << "\": " << count.visits;
}

} // namespace trawlmeter::report
