#pragma once

#include <optional>
#include <string>
#include <vector>

namespace trawlmeter::testing {

using VisitRecord = std::vector<std::optional<std::string>>;

// Reads a table of a visit database through its own connection, in insertion order, with the
// fourteen visit columns in their standard order.
std::vector<VisitRecord> readVisitRecords(const std::string& databasePath,
                                          const std::string& table);

// Number of rows in a table; -1 when the table cannot be read.
long countRows(const std::string& databasePath, const std::string& table);

} // namespace trawlmeter::testing
