#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace trawlmeter {

// A counter box's text read as a number: a decimal number with spaces around it allowed.
// Nothing for an empty text, letters, or a number out of the double range.
std::optional<double> parseCounterText(std::string_view text);

// The shortest decimal form with at most 15 significant digits: plain digits below 10^15,
// exponent form ("1E+15", "1.23456789012346E+15") from there on.
std::string formatCounterValue(double value);

// True when `value` is a whole number below 10^15: its text reads back as exactly `value`.
bool isExactCount(double value);

// What raising a counter whose box shows `text` writes back: the text read as a number, plus
// one. Nothing when the text does not read as a number; the box then keeps it.
std::optional<double> raisedCount(std::string_view text);

} // namespace trawlmeter
