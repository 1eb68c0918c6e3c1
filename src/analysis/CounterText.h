#pragma once

#include "app/Controls.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trawlmeter::analysis {

// A counter box's text read as a number: a decimal number with spaces around it allowed.
// Nothing for an empty text, letters, or a number out of the double range.
std::optional<double> parseCounterText(std::string_view text);

// The shortest decimal form with at most 15 significant digits: plain digits below 10^15,
// exponent form ("1E+15", "1.23456789012346E+15") from there on.
std::string formatCounterValue(double value);

// The value a box's text stood for when the scanner last wrote it, so that a raise need
// not read the text back while nobody else changed it.
struct CounterCache {
    std::uint64_t revision = 0;
    double value = 0;
    bool valid = false;
};

// Reads the box's text as a number, adds 1 and writes the sum back. A text that does not
// read as a number stays as it is; the text is always the base of the count.
void raiseCounter(TextBox& box, CounterCache& cache);

} // namespace trawlmeter::analysis
