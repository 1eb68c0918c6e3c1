#pragma once

#include <string_view>
#include <vector>

namespace trawlmeter::store {

// Cuts at every single " ": two spaces give an empty piece, an empty text gives no pieces.
// The pieces view into `text`.
std::vector<std::string_view> cutAtSpaces(std::string_view text);

} // namespace trawlmeter::store
