#include "store/VisitTableCheck.h"

#include <algorithm>
#include <string>

#include "platform/AsciiCase.h"
#include "platform/Problem.h"
#include "store/VisitColumns.h"

namespace trawlmeter::store {

Expected<void> checkVisitTable(const db::Recordset& recordset) {
    const auto& columns = recordset.columns();
    const auto named = [](std::string_view name) {
        return [name](const db::ColumnInfo& column) {
            return equalsIgnoringAsciiCase(name, column.name);
        };
    };
    std::string missing;
    for (const auto name : kVisitColumns) {
        if (std::none_of(columns.begin(), columns.end(), named(name))) {
            missing += (missing.empty() ? "" : ", ") + std::string(name);
        }
    }
    if (!missing.empty()) {
        return fail(Problem::MissingColumns, recordset.tableName(), missing);
    }
    // A column the exports never fill must let a record go without it.
    for (const auto& column : columns) {
        const bool isVisitColumn =
            std::any_of(kVisitColumns.begin(), kVisitColumns.end(),
                        [&](std::string_view name) { return named(name)(column); });
        if (!isVisitColumn && column.notNull && !column.hasDefault && !column.numbersRecords) {
            return fail(Problem::ColumnNeedsAValue, recordset.tableName(), column.name);
        }
    }
    return {};
}

Expected<void> checkTextEncoding(const db::Database& database) {
    auto encoding = database.textEncoding();
    if (!encoding) {
        return tl::unexpected(std::move(encoding.error()));
    }
    if (*encoding != "UTF-8") {
        return fail(Problem::TextsNotKeptAsRead, database.path(), *encoding);
    }
    return {};
}

} // namespace trawlmeter::store
