#include "platform/ProgramFolder.h"

#include <filesystem>
#include <system_error>

namespace trawlmeter {

std::string executableFolder() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && exe.has_parent_path()) {
        return exe.parent_path().string();
    }
    const auto current = std::filesystem::current_path(error);
    return error ? std::string(".") : current.string();
}

} // namespace trawlmeter
