#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace trawlmeter::report {

// The text with each invalid UTF-8 sequence (overlong forms, surrogates, code points past
// U+10FFFF, stray or missing continuation bytes) replaced by U+FFFD, one per maximal invalid
// subsequence as Unicode recommends.
[[nodiscard]] std::string validUtf8(std::string_view text);

// Text from anywhere as the report shows it: valid UTF-8 as validUtf8() makes it, and every
// bidirectional control (U+061C, U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069) as U+FFFD
// too, so that no text reorders what is shown after it (a URL that reads backwards).
[[nodiscard]] std::string neutralText(std::string_view text);

// Valid UTF-8 cut to at most `maxChars` characters: a longer text keeps `maxChars - 1` whole
// characters and ends in "…".
[[nodiscard]] std::string shortened(std::string_view validText, std::size_t maxChars);

} // namespace trawlmeter::report
