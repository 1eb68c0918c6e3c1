#include "platform/TextEncoding.h"

#include <windows.h>

#include "platform/windows/WideText.h"

namespace trawlmeter::text {

// Windows' C library has no locale of a thread's own that libarchive would read names by; there
// libarchive gives every name as wide text, which the readers take first.
Utf8Locale::Utf8Locale() = default;
Utf8Locale::~Utf8Locale() = default;

std::optional<std::string> utf8FromCodePage936(std::string_view bytes) {
    if (bytes.empty()) {
        return std::string();
    }
    constexpr UINT kChineseCodePage = 936;
    const auto size = static_cast<int>(bytes.size());
    // Bytes that are not of the code page fail instead of becoming U+FFFD.
    const int length =
        MultiByteToWideChar(kChineseCodePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (length <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(kChineseCodePage, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(),
                            length) != length) {
        return std::nullopt;
    }
    return windows::utf8Text(wide);
}

} // namespace trawlmeter::text
