#pragma once

#include <string_view>

namespace trawlmeter {

// The files the program keeps in its folder, beside the work folder.
inline constexpr std::string_view kDatabaseName = "rezOve.mdb";
inline constexpr std::string_view kReportName = "report.html";

} // namespace trawlmeter
