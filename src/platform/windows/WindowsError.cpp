#include "platform/windows/WindowsError.h"

#include <cerrno>

#include <windows.h>

#include "platform/windows/WideText.h"

namespace trawlmeter::windows {
namespace {

class WindowsCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "windows"; }

    // The system's own words, in the language of its user interface.
    std::string message(int value) const override {
        wchar_t* text = nullptr;
        const DWORD length = FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, static_cast<DWORD>(value), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        std::wstring words(text ? text : L"", length);
        LocalFree(text);
        while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' ||
                                  words.back() == L' ' || words.back() == L'.')) {
            words.pop_back();
        }
        return words.empty() ? "Windows error " + std::to_string(value) : utf8Text(words);
    }

    std::error_condition default_error_condition(int value) const noexcept override {
        switch (value) {
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_BUSY:
            return std::errc::device_or_resource_busy;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
            return std::errc::invalid_argument;
        default:
            return {value, *this};
        }
    }
};

const std::error_category& windowsCategory() {
    static const WindowsCategory category;
    return category;
}

// The portable code of a Windows error, or 0 where there is none the program decides upon.
int portableCode(unsigned long code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_CANNOT_MAKE:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_COMMITMENT_LIMIT:
        return ENOMEM;
    case ERROR_DIR_NOT_EMPTY:
        return ENOTEMPTY;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    case ERROR_INVALID_PARAMETER:
    case ERROR_NEGATIVE_SEEK:
        return EINVAL;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
        return ENOSYS;
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
        return EIO;
    default:
        return 0;
    }
}

} // namespace

std::error_code errorOf(unsigned long code) {
    if (const int portable = portableCode(code); portable != 0) {
        return {portable, std::generic_category()};
    }
    return {static_cast<int>(code), windowsCategory()};
}

std::error_code lastError() {
    return errorOf(GetLastError());
}

tl::unexpected<Failure> lastFailure(std::string subject) {
    return fail(lastError(), std::move(subject));
}

} // namespace trawlmeter::windows
