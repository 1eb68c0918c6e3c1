#pragma once

#include "platform/Database.h"
#include "analysis/FieldLayout.h"

#include <string_view>

namespace trawlmeter::store {

// Cuts `item` at its spaces and assigns each piece of a started record to the column its layout
// names, as text, unchanged. Pieces the layout drops and columns the table lacks are skipped;
// later pieces still go. The record views into `item`, which must stay as it is until the
// record is written.
void fillVisitRecord(db::Recordset& recordset, std::string_view item,
                     const analysis::FieldLayout& layout);

} // namespace trawlmeter::store
