#pragma once

#include <array>
#include <string_view>

#include "analysis/FieldLayout.h"

namespace trawlmeter::store {

// The fourteen columns of every engine table: the column of each field of the standard log
// layout, in the order of analysis::kW3cFields.
inline constexpr std::array<std::string_view, analysis::kW3cFields.size()> kVisitColumns{
    "sdate", "stime",      "sitename", "sip",       "csmethod", "csuristem",   "csuriquery",
    "sport", "csusername", "cip",      "UserAgent", "scstatus", "scsubstatus", "scwin32status"};

// The table of the visits of every other known crawler: the fourteen columns, then the name of
// the crawler.
inline constexpr std::string_view kOtherCrawlersTable = "othercrawlers";
inline constexpr std::string_view kCrawlerColumn = "crawler";

} // namespace trawlmeter::store
