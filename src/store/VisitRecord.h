#pragma once

#include "platform/Database.h"
#include "store/FieldLayout.h"

#include <string_view>
#include <vector>

namespace trawlmeter::store {

// Assigns each piece of a started record to the column its layout names, as text, unchanged.
// Pieces the layout drops and columns the table lacks are skipped; later pieces still go.
void fillVisitRecord(db::Recordset& recordset, const std::vector<std::string_view>& pieces,
                     const FieldLayout& layout);

} // namespace trawlmeter::store
