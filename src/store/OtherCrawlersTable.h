#pragma once

#include "platform/Database.h"
#include "platform/Failure.h"

namespace trawlmeter::store {

// Whether the database can take the visits of other crawlers: it lacks the table (a run makes
// it), or the table takes every visit record as checkVisitTable() says and has the crawler
// column (Problem::MissingColumns naming it). A view, an index or a trigger of that name is
// refused (Problem::NotATable): a run could neither make the table nor write to it.
[[nodiscard]] Expected<void> checkOtherCrawlersTable(db::Database& database);

// Makes the table in a database of an earlier version, in a commit of its own; the five engine
// tables are not touched. Nothing when it is there.
[[nodiscard]] Expected<void> makeOtherCrawlersTable(db::Database& database);

} // namespace trawlmeter::store
