#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace trawlmeter::report {

// Text from anywhere made safe for element content, a quoted attribute value and SVG text alike:
// valid UTF-8 (invalid bytes as U+FFFD), & < > " ' as character references, control characters
// other than tab and line ends and the bidirectional controls (see neutralText) as U+FFFD.
[[nodiscard]] std::string htmlText(std::string_view raw);

// The same, cut to at most `maxChars` characters, the last of them "…" when cut.
[[nodiscard]] std::string htmlShort(std::string_view raw, std::size_t maxChars);

// A whole number with commas between groups of three digits: 1,234,567.
[[nodiscard]] std::string groupThousands(long long number);

} // namespace trawlmeter::report
