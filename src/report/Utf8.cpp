#include "report/Utf8.h"

#include <cstdint>

namespace trawlmeter::report {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

struct Sequence {
    std::size_t length; // bytes to consume
    bool valid;
};

// The sequence at the start of a non-empty text. An invalid one spans the lead byte and the
// continuation bytes that could still have begun a valid character.
Sequence sequenceAt(std::string_view text) {
    const auto lead = static_cast<std::uint8_t>(text[0]);
    if (lead < 0x80) {
        return {1, true};
    }
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing past U+10FFFF
    } else {
        return {1, false};
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= text.size()) {
            return {i, false};
        }
        const auto byte = static_cast<std::uint8_t>(text[i]);
        if (byte < (i == 1 ? low : 0x80) || byte > (i == 1 ? high : 0xBF)) {
            return {i, false};
        }
    }
    return {length, true};
}

bool isContinuation(char c) {
    return (static_cast<std::uint8_t>(c) & 0xC0) == 0x80;
}

// The longest head of the text with at most `maxChars` characters.
std::string_view firstChars(std::string_view validText, std::size_t maxChars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < validText.size(); ++i) {
        if (!isContinuation(validText[i]) && chars++ == maxChars) {
            return validText.substr(0, i);
        }
    }
    return validText;
}

// The code point of a valid sequence of two or three bytes.
char32_t codePoint(std::string_view sequence) {
    const auto byte = [&](std::size_t i) {
        return static_cast<char32_t>(static_cast<std::uint8_t>(sequence[i]));
    };
    return sequence.size() == 2
               ? ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F)
               : ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
}

bool isBidiControl(std::string_view sequence) {
    if (sequence.size() != 2 && sequence.size() != 3) {
        return false;
    }
    const char32_t c = codePoint(sequence);
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

enum class Bidi { Keep, Neutralise };

std::string cleaned(std::string_view text, Bidi bidi) {
    std::string valid;
    valid.reserve(text.size());
    while (!text.empty()) {
        const Sequence sequence = sequenceAt(text);
        const std::string_view bytes = text.substr(0, sequence.length);
        const bool kept = sequence.valid && (bidi == Bidi::Keep || !isBidiControl(bytes));
        valid += kept ? bytes : kReplacement;
        text.remove_prefix(sequence.length);
    }
    return valid;
}

} // namespace

std::string validUtf8(std::string_view text) {
    return cleaned(text, Bidi::Keep);
}

std::string neutralText(std::string_view text) {
    return cleaned(text, Bidi::Neutralise);
}

std::string shortened(std::string_view validText, std::size_t maxChars) {
    const std::string_view head = firstChars(validText, maxChars);
    if (head.size() == validText.size() || maxChars == 0) {
        return std::string(head);
    }
    return std::string(firstChars(head, maxChars - 1)) + std::string(kEllipsis);
}

} // namespace trawlmeter::report
