#pragma once

#include "report/Report.h"

#include <array>
#include <ostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trawlmeter::testing {

// The fields of a record that the report reads; nothing stands for NULL.
struct Visit {
    std::optional<std::string> sdate;
    std::optional<std::string> stime;
    std::optional<std::string> url;
    std::optional<std::string> client;
    std::optional<std::string> status;
};

inline constexpr std::array<report::ReportEngine, 5> kEngines{{{"Baidu", "baidu"},
                                                               {"Google", "google"},
                                                               {"Yahoo", "yahoo"},
                                                               {"Sogou", "sogou"},
                                                               {"Msn", "msn"}}};

// Appends records to a table in one transaction; their other fields stay NULL.
void addVisits(const std::string& databasePath, std::string_view table,
               const std::vector<Visit>& visits);

// Runs SQL on the database, failing the test when it does not succeed.
void executeSql(const std::string& databasePath, const std::string& sql);

} // namespace trawlmeter::testing

namespace trawlmeter::report {

inline void PrintTo(const Count& count, std::ostream* out) {
    *out << '"' << count.value << "\": " << count.visits;
}

} // namespace trawlmeter::report
