#include "win32/ShellUrlOpener.h"

#include <string_view>

#include <windows.h>
#include <shellapi.h>

#include "platform/AsciiCase.h"
#include "platform/windows/WideText.h"

namespace trawlmeter::win32 {
namespace {

constexpr std::string_view kFileScheme = "file://";
// ShellExecuteW returns a value above this when it succeeded.
constexpr INT_PTR kShellExecuteFailureLimit = 32;

int hexValue(char digit) {
    if (digit >= '0' && digit <= '9') {
        return digit - '0';
    }
    if (digit >= 'A' && digit <= 'F') {
        return digit - 'A' + 10;
    }
    if (digit >= 'a' && digit <= 'f') {
        return digit - 'a' + 10;
    }
    return -1;
}

} // namespace

std::optional<std::string> localPathOf(const std::string& url) {
    if (!(url.size() >= kFileScheme.size() &&
          equalsIgnoringAsciiCase(std::string_view(url).substr(0, kFileScheme.size()),
                                  kFileScheme))) {
        return std::nullopt;
    }
    std::string path;
    for (std::size_t i = kFileScheme.size(); i < url.size(); ++i) {
        const int high = i + 2 < url.size() ? hexValue(url[i + 1]) : -1;
        const int low = i + 2 < url.size() ? hexValue(url[i + 2]) : -1;
        if (url[i] == '%' && high >= 0 && low >= 0) {
            path += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            path += url[i];
        }
    }
    // "file:///C:/..." names the drive after a third slash.
    if (path.size() > 2 && path[0] == '/' && path[2] == ':') {
        path.erase(0, 1);
    }
    return path;
}

bool ShellUrlOpener::openUrl(const std::string& url) {
    const auto path = localPathOf(url);
    const std::wstring target = path ? windows::widePath(*path) : windows::wideText(url);
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > kShellExecuteFailureLimit;
}

} // namespace trawlmeter::win32
