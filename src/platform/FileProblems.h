#pragma once

#include <system_error>

namespace trawlmeter {

// Reasons the program gives itself for refusing a file, beside the operating system's own.
enum class FileProblem {
    NotARegularFile = 1,
    ShrankWhileRead,
    IsASymbolicLink,
    NotAFolder,
};

const std::error_category& fileProblemCategory();

inline std::error_code make_error_code(FileProblem problem) {
    return {static_cast<int>(problem), fileProblemCategory()};
}

} // namespace trawlmeter

template <> struct std::is_error_code_enum<trawlmeter::FileProblem> : std::true_type {};
