#pragma once

#include <system_error>

namespace trawlmeter {

// Reasons of their own that verifying crawler addresses can fail for. New reasons go at the
// end: the values are the codes.
enum class VerificationProblem {
    BadServerAddress = 1,
    MalformedRangeFile,
    RangeFileWithoutPrefixes,
    UnusableVerdictTable,
};

const std::error_category& verificationCategory();

inline std::error_code make_error_code(VerificationProblem problem) {
    return {static_cast<int>(problem), verificationCategory()};
}

} // namespace trawlmeter

template <> struct std::is_error_code_enum<trawlmeter::VerificationProblem> : std::true_type {};
