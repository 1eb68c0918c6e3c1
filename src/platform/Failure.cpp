#include "platform/Failure.h"

#include <new>
#include <ostream>

#include <sqlite3.h>

#include "platform/Problem.h"

namespace trawlmeter {
namespace {

class SqliteCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "sqlite"; }
    std::string message(int value) const override { return sqlite3_errstr(value); }
    std::error_condition default_error_condition(int value) const noexcept override {
        // A full disk is a full disk whoever says so.
        switch (value & 0xff) {
        case SQLITE_FULL:
            return std::errc::no_space_on_device;
        case SQLITE_NOMEM:
            return std::errc::not_enough_memory;
        case SQLITE_PERM:
        case SQLITE_READONLY:
            return std::errc::permission_denied;
        default:
            return {value, *this};
        }
    }
};

} // namespace

Failure failureOf(const std::exception& exception, std::string subject) {
    if (const auto* system = dynamic_cast<const std::system_error*>(&exception)) {
        return {system->code(), std::move(subject), system->what()};
    }
    if (dynamic_cast<const std::bad_alloc*>(&exception)) {
        return {std::make_error_code(std::errc::not_enough_memory), std::move(subject), {}};
    }
    return {Problem::Unexpected, std::move(subject), exception.what()};
}

std::ostream& operator<<(std::ostream& out, const Failure& failure) {
    if (!failure.subject.empty()) {
        out << failure.subject << ": ";
    }
    out << failure.code.message();
    if (!failure.detail.empty()) {
        out << " (" << failure.detail << ")";
    }
    return out;
}

const std::error_category& sqliteCategory() {
    static const SqliteCategory category;
    return category;
}

} // namespace trawlmeter
