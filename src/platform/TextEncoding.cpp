#include "platform/TextEncoding.h"

#include <cstddef>
#include <cstdint>

namespace trawlmeter::text {

bool isUtf8(std::string_view bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        const auto lead = static_cast<std::uint8_t>(bytes[at]);
        std::size_t length = 0;
        std::uint32_t least = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            ++at;
            continue;
        } else if ((lead & 0xe0) == 0xc0) {
            length = 2, least = 0x80, code = lead & 0x1fU;
        } else if ((lead & 0xf0) == 0xe0) {
            length = 3, least = 0x800, code = lead & 0x0fU;
        } else if ((lead & 0xf8) == 0xf0) {
            length = 4, least = 0x10000, code = lead & 0x07U;
        } else {
            return false;
        }
        if (at + length > bytes.size()) {
            return false;
        }
        for (std::size_t next = 1; next < length; ++next) {
            const auto part = static_cast<std::uint8_t>(bytes[at + next]);
            if ((part & 0xc0) != 0x80) {
                return false;
            }
            code = code << 6 | (part & 0x3fU);
        }
        // Overlong forms, surrogates and what lies beyond Unicode are no UTF-8.
        if (code < least || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff) {
            return false;
        }
        at += length;
    }
    return true;
}

std::optional<std::string> utf8FromWide(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size() * 3);
    for (std::size_t at = 0; at < wide.size(); ++at) {
        auto code = static_cast<std::uint32_t>(wide[at]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (code >= 0xd800 && code <= 0xdbff && at + 1 < wide.size()) {
                const auto low = static_cast<std::uint32_t>(wide[at + 1]);
                if (low >= 0xdc00 && low <= 0xdfff) {
                    code = 0x10000 + ((code - 0xd800) << 10) + (low - 0xdc00);
                    ++at;
                }
            }
        }
        if ((code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff) {
            return std::nullopt;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xc0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3f));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xe0 | code >> 12);
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | code >> 18);
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
        }
    }
    return out;
}

} // namespace trawlmeter::text
