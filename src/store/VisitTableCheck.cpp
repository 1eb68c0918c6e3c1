#include "store/VisitTableCheck.h"

#include "platform/AsciiCase.h"
#include "store/VisitColumns.h"

#include <algorithm>

namespace trawlmeter::store {

bool isVisitTable(db::Database& database, std::string_view table) {
    const auto columns = database.columns(table);
    if (!columns || !database.hasTable(table)) {
        return false;
    }
    const auto isVisitColumn = [](const db::ColumnInfo& column) {
        return std::any_of(kVisitColumns.begin(), kVisitColumns.end(), [&](std::string_view name) {
            return equalsIgnoringAsciiCase(name, column.name);
        });
    };
    for (const auto name : kVisitColumns) {
        if (std::none_of(columns->begin(), columns->end(), [&](const db::ColumnInfo& column) {
                return equalsIgnoringAsciiCase(name, column.name);
            })) {
            return false;
        }
    }
    // A column the exports never fill must let a record go without it.
    return std::all_of(columns->begin(), columns->end(), [&](const db::ColumnInfo& column) {
        return isVisitColumn(column) || !column.notNull || column.hasDefault ||
               column.numbersRecords;
    });
}

} // namespace trawlmeter::store
