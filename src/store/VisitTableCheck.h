#pragma once

#include "platform/Database.h"
#include "platform/Failure.h"

namespace trawlmeter::store {

// Whether the table `recordset` stands for can take every visit record: it has all fourteen
// visit columns (names compared without regard to ASCII case), else Problem::MissingColumns
// with the missing ones; and each other column may stay empty or has a default, else
// Problem::ColumnNeedsAValue naming the first that does not.
[[nodiscard]] Expected<void> checkVisitTable(const db::Recordset& recordset);

// Whether the database keeps a visit's texts as the log has them, byte for byte: one whose
// texts are UTF-16 would turn every line that is not UTF-8 into other bytes, so it is refused
// with Problem::TextsNotKeptAsRead (the detail names its encoding).
[[nodiscard]] Expected<void> checkTextEncoding(const db::Database& database);

} // namespace trawlmeter::store
