#include "support/VisitRecords.h"

#include "store/VisitColumns.h"

namespace trawlmeter::testing {

std::vector<VisitRecord> readVisitRecords(const std::string& databasePath,
                                          const std::string& table) {
    std::string columns;
    for (const auto column : store::kVisitColumns) {
        columns += (columns.empty() ? "" : ", ") + std::string(column);
    }
    return readRows(databasePath, "SELECT " + columns + " FROM \"" + table + "\" ORDER BY rowid");
}

} // namespace trawlmeter::testing
