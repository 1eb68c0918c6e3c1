#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace trawlmeter::report {

// The text with each invalid UTF-8 sequence (overlong forms, surrogates, code points past
// U+10FFFF, stray or missing continuation bytes) replaced by U+FFFD, one per maximal invalid
// subsequence as Unicode recommends.
[[nodiscard]] std::string validUtf8(std::string_view text);

// Valid UTF-8 cut to at most `maxChars` characters: a longer text keeps `maxChars - 1` whole
// characters and ends in "…".
[[nodiscard]] std::string shortened(std::string_view validText, std::size_t maxChars);

} // namespace trawlmeter::report
