#pragma once

#include "support/ReadRows.h"

#include <string>
#include <vector>

namespace trawlmeter::testing {

using VisitRecord = Row;

// Reads a table of a visit database through its own connection, in insertion order, with the
// fourteen visit columns in their standard order.
std::vector<VisitRecord> readVisitRecords(const std::string& databasePath,
                                          const std::string& table);

} // namespace trawlmeter::testing
