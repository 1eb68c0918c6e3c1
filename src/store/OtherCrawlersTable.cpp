#include "store/OtherCrawlersTable.h"

#include <algorithm>
#include <array>

#include "platform/AsciiCase.h"
#include "platform/Problem.h"
#include "store/VisitColumns.h"
#include "store/VisitTableCheck.h"

namespace trawlmeter::store {

Expected<void> checkOtherCrawlersTable(db::Database& database) {
    auto kind = database.kindOfName(kOtherCrawlersTable);
    if (!kind) {
        return tl::unexpected(kind.error());
    }
    if (kind->empty()) {
        return {};
    }
    if (*kind != "table") {
        return fail(Problem::NotATable, std::string(kOtherCrawlersTable), *kind);
    }
    auto recordset = database.OpenRecordset(kOtherCrawlersTable);
    if (!recordset) {
        return tl::unexpected(recordset.error());
    }
    if (auto checked = checkVisitTable(**recordset); !checked) {
        return checked;
    }
    const auto& columns = (*recordset)->columns();
    if (std::none_of(columns.begin(), columns.end(), [](const db::ColumnInfo& column) {
            return equalsIgnoringAsciiCase(column.name, kCrawlerColumn);
        })) {
        return fail(Problem::MissingColumns, std::string(kOtherCrawlersTable),
                    std::string(kCrawlerColumn));
    }
    return {};
}

Expected<void> makeOtherCrawlersTable(db::Database& database) {
    std::array<std::string_view, kVisitColumns.size() + 1> columns{};
    std::copy(kVisitColumns.begin(), kVisitColumns.end(), columns.begin());
    columns.back() = kCrawlerColumn;
    return database.createTextTable(kOtherCrawlersTable, columns);
}

} // namespace trawlmeter::store
