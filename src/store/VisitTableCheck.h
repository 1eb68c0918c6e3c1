#pragma once

#include "platform/Database.h"

#include <string_view>

namespace trawlmeter::store {

// True when `table` is a table (not a view) that can take every visit record: it has all
// fourteen visit columns (names compared without regard to ASCII case), and each other column
// may stay empty or has a default.
[[nodiscard]] bool isVisitTable(db::Database& database, std::string_view table);

} // namespace trawlmeter::store
