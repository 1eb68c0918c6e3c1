#pragma once

#include <system_error>

namespace trawlmeter {

// The program's own reasons for a failure, beside the operating system's and SQLite's. New
// reasons go at the end: the values are the codes.
enum class Problem {
    NotARegularFile = 1,
    ShrankWhileRead,
    IsASymbolicLink,
    NotAFolder,
};

const std::error_category& problemCategory();

inline std::error_code make_error_code(Problem problem) {
    return {static_cast<int>(problem), problemCategory()};
}

} // namespace trawlmeter

template <> struct std::is_error_code_enum<trawlmeter::Problem> : std::true_type {};
