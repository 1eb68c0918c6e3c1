#include "report/HtmlText.h"

#include <cstdint>

#include "report/Utf8.h"

namespace trawlmeter::report {
namespace {

std::string escaped(std::string_view validText) {
    std::string out;
    out.reserve(validText.size() + validText.size() / 8);
    for (const char c : validText) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        case '\t':
        case '\n':
        case '\r':
            out += c;
            break;
        default:
            if (static_cast<std::uint8_t>(c) < 0x20 || c == 0x7F) {
                out += "\xEF\xBF\xBD";
            } else {
                out += c;
            }
        }
    }
    return out;
}

} // namespace

std::string htmlText(std::string_view raw) {
    return escaped(neutralText(raw));
}

std::string htmlShort(std::string_view raw, std::size_t maxChars) {
    return escaped(shortened(neutralText(raw), maxChars));
}

std::string groupThousands(long long number) {
    const std::string digits = std::to_string(number);
    const std::size_t sign = number < 0 ? 1 : 0;
    std::string grouped = digits.substr(0, sign);
    for (std::size_t i = sign; i < digits.size(); ++i) {
        if (i > sign && (digits.size() - i) % 3 == 0) {
            grouped += ',';
        }
        grouped += digits[i];
    }
    return grouped;
}

} // namespace trawlmeter::report
