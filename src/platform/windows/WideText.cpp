#include "platform/windows/WideText.h"

#include <algorithm>
#include <climits>

#include <windows.h>

namespace trawlmeter::windows {
namespace {

// Paths at least this long take the \\?\ form: CreateDirectoryW leaves room for an 8.3 name
// below MAX_PATH.
constexpr std::size_t kClassicLimit = MAX_PATH - 12;

int lengthOf(std::size_t size) {
    return static_cast<int>(std::min<std::size_t>(size, INT_MAX));
}

} // namespace

std::wstring wideText(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int length = lengthOf(utf8.size());
    const int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, text.data(), wide);
    return text;
}

std::string utf8Text(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    const int length = lengthOf(wide.size());
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, text.data(), bytes, nullptr, nullptr);
    return text;
}

std::wstring widePath(std::string_view utf8) {
    std::wstring path = wideText(utf8);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    if (path.size() < kClassicLimit || path.starts_with(L"\\\\?\\")) {
        return path;
    }
    // The prefixed form is taken as it is: it must be absolute, with no "." or ".." in it.
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return path;
    }
    std::wstring full(needed, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (written == 0 || written >= needed) {
        return path;
    }
    full.resize(written);
    if (full.starts_with(L"\\\\.\\")) {
        return full;
    }
    if (full.starts_with(L"\\\\")) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return L"\\\\?\\" + full;
}

} // namespace trawlmeter::windows
