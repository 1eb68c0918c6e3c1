#pragma once

#include <array>
#include <string_view>

namespace trawlmeter::store {

// The engine tables of the visit database.
inline constexpr std::array<std::string_view, 5> kVisitTables{"baidu", "google", "yahoo", "sogou",
                                                              "msn"};

} // namespace trawlmeter::store
