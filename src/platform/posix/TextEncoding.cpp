#include "platform/TextEncoding.h"

#include <cstddef>

#include <iconv.h>
#include <locale.h>

namespace trawlmeter::text {
namespace {

// Made once and never changed; none when the system has no UTF-8 locale.
locale_t utf8Locale() {
    static const locale_t locale = [] {
        locale_t made = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return made ? made
                    : newlocale(LC_CTYPE_MASK, "en_US.UTF-8", static_cast<locale_t>(nullptr));
    }();
    return locale;
}

} // namespace

Utf8Locale::Utf8Locale() {
    if (const locale_t locale = utf8Locale()) {
        m_previous = uselocale(locale);
    }
}

Utf8Locale::~Utf8Locale() {
    if (m_previous) {
        uselocale(static_cast<locale_t>(m_previous));
    }
}

std::optional<std::string> utf8FromCodePage936(std::string_view bytes) {
    const iconv_t converter = iconv_open("UTF-8", "CP936");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    // A GBK character of two bytes takes at most three in UTF-8.
    std::string converted(bytes.size() * 2 + 4, '\0');
    std::string input(bytes);
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = converted.data();
    std::size_t outLeft = converted.size();
    const std::size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (done == static_cast<std::size_t>(-1) || inLeft != 0) {
        return std::nullopt;
    }
    converted.resize(converted.size() - outLeft);
    return converted;
}

} // namespace trawlmeter::text
