#include "app/CounterText.h"

#include <charconv>
#include <cmath>

namespace trawlmeter {
namespace {

// From here on a count is shown in exponent form, and whole numbers below it round-trip
// through their text exactly.
constexpr double kPlainLimit = 1e15;

std::string_view trimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<double> parseCounterText(std::string_view text) {
    text = trimSpaces(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // from_chars would also take "inf" and "nan", which are no counts.
    if (text.empty() || !(isDigit(text.front()) || text.front() == '.')) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::string formatCounterValue(double value) {
    char digits[32];
    if (isExactCount(value)) {
        const auto end =
            std::to_chars(digits, digits + sizeof digits, static_cast<std::int64_t>(value)).ptr;
        return std::string(digits, end);
    }
    // Like "%.15G", but independent of the C locale's decimal point.
    auto end =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 15).ptr;
    std::string text(digits, end);
    for (char& c : text) {
        if (c == 'e') {
            c = 'E';
        }
    }
    return text;
}

bool isExactCount(double value) {
    return std::fabs(value) < kPlainLimit && value == std::trunc(value);
}

std::optional<double> raisedCount(std::string_view text) {
    const auto value = parseCounterText(text);
    if (!value) {
        return std::nullopt;
    }
    return *value + 1;
}

} // namespace trawlmeter
