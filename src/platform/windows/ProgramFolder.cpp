#include "platform/ProgramFolder.h"

#include <filesystem>
#include <string>
#include <system_error>

#include <windows.h>

#include "platform/PathText.h"
#include "platform/windows/WideText.h"

namespace trawlmeter {

std::string executableFolder() {
    // The path may pass the classic limit of 260 characters: the buffer grows until it fits.
    std::wstring exe(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
        if (length == 0) {
            exe.clear();
            break;
        }
        if (length < exe.size()) {
            exe.resize(length);
            break;
        }
        exe.resize(exe.size() * 2);
    }
    if (const auto slash = exe.find_last_of(L"\\/"); slash != std::wstring::npos) {
        exe.resize(slash == 2 && exe[1] == L':' ? slash + 1 : slash); // C:\ keeps its separator
        return windows::utf8Text(exe);
    }
    std::error_code error;
    const auto current = std::filesystem::current_path(error);
    return error ? std::string(".") : utf8FromPath(current);
}

} // namespace trawlmeter
