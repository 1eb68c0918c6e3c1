#pragma once

#include <tl/expected.hpp>

#include <exception>
#include <iosfwd>
#include <string>
#include <system_error>
#include <utility>

namespace trawlmeter {

// Why something failed, as a value: the reason as an error code (the operating system's, SQLite's
// or the program's own), what it concerns (a path, a table, a member of an archive) and, where the
// layer below said more than its code, its words. Texts for the operator are made from it in one
// place above the machinery; below it a failure is only passed on or decided upon.
struct Failure {
    std::error_code code;
    std::string subject;
    std::string detail;
};

template <class T = void> using Expected = tl::expected<T, Failure>;

[[nodiscard]] inline tl::unexpected<Failure> fail(std::error_code code, std::string subject = {},
                                                  std::string detail = {}) {
    return tl::unexpected(Failure{code, std::move(subject), std::move(detail)});
}

// The same failure, about `subject` where it named nothing yet.
[[nodiscard]] inline tl::unexpected<Failure> failAbout(Failure failure, std::string subject) {
    if (failure.subject.empty()) {
        failure.subject = std::move(subject);
    }
    return tl::unexpected(std::move(failure));
}

// The failure an exception stands for: a system error's code, std::errc::not_enough_memory for
// an allocation, else Problem::Unexpected with the exception's words.
[[nodiscard]] Failure failureOf(const std::exception& exception, std::string subject = {});

// "subject: message (detail)", in the categories' short words: for logs and test output, never
// for the operator.
std::ostream& operator<<(std::ostream& out, const Failure& failure);

// SQLite's extended result codes (SQLITE_FULL, SQLITE_IOERR_FSYNC, SQLITE_CONSTRAINT_NOTNULL, ...)
// as error codes; their primary code is the value & 0xff.
const std::error_category& sqliteCategory();

inline std::error_code sqliteError(int extendedResultCode) {
    return {extendedResultCode, sqliteCategory()};
}

} // namespace trawlmeter
