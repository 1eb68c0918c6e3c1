#pragma once

#include <array>
#include <string_view>

namespace trawlmeter::store {

// The fourteen columns of every engine table, in the order of the standard log layout.
inline constexpr std::array<std::string_view, 14> kVisitColumns{
    "sdate", "stime",      "sitename", "sip",       "csmethod", "csuristem",   "csuriquery",
    "sport", "csusername", "cip",      "UserAgent", "scstatus", "scsubstatus", "scwin32status"};

} // namespace trawlmeter::store
