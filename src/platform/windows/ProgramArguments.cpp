#include "platform/ProgramArguments.h"

#include <windows.h>

#include <shellapi.h>

#include "platform/windows/WideText.h"

namespace trawlmeter {

std::vector<std::string> programArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) {
        // Out of memory at start: the narrow ones are better than none.
        return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc)
                        : std::vector<std::string>{};
    }
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(windows::utf8Text(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

} // namespace trawlmeter
