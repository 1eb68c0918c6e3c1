#include "platform/FileSystem.h"

#include <vector>

#include <windows.h>
// Windows' header makes DeleteFile a macro for its own DeleteFileW; this file defines ours.
#undef DeleteFile

#include "platform/PathText.h"
#include "platform/Problem.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsError.h"

namespace trawlmeter::fs {
namespace {

using windows::lastFailure;
using windows::widePath;

constexpr DWORD kMissing = INVALID_FILE_ATTRIBUTES;

// What a name itself is: a link, or any other reparse point (a junction, a mount point),
// shows as one and is not followed.
DWORD ownAttributes(const std::string& path) {
    return GetFileAttributesW(widePath(path).c_str());
}

// What a name stands for, links followed; kMissing when nothing does.
DWORD targetAttributes(const std::string& path) {
    const DWORD own = ownAttributes(path);
    if (own == kMissing || !(own & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return own;
    }
    const HANDLE handle = CreateFileW(widePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return kMissing;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = GetFileInformationByHandle(handle, &information);
    CloseHandle(handle);
    return known ? information.dwFileAttributes : kMissing;
}

bool isFolder(DWORD attributes) {
    return attributes != kMissing && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isLink(DWORD attributes) {
    return attributes != kMissing && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool isWriteProtected(DWORD attributes) {
    return attributes != kMissing && !isFolder(attributes) &&
           (attributes & FILE_ATTRIBUTE_READONLY);
}

tl::unexpected<Failure> failWith(std::errc error, const std::string& path) {
    return fail(std::make_error_code(error), path);
}

// The names in a folder but "." and "..", read whole before anything is removed, since a
// folder being changed need not list every entry.
Expected<std::vector<WIN32_FIND_DATAW>> entriesOf(const std::string& folder) {
    std::vector<WIN32_FIND_DATAW> entries;
    WIN32_FIND_DATAW entry{};
    const HANDLE search =
        FindFirstFileExW(widePath(joinPath(folder, "*")).c_str(), FindExInfoBasic, &entry,
                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        // A root without entries has no "." either.
        if (GetLastError() == ERROR_FILE_NOT_FOUND && isFolder(ownAttributes(folder))) {
            return entries;
        }
        return lastFailure(folder);
    }
    do {
        const std::wstring_view name(entry.cFileName);
        if (name != L"." && name != L"..") {
            entries.push_back(entry);
        }
    } while (FindNextFileW(search, &entry));
    const DWORD ended = GetLastError();
    FindClose(search);
    if (ended != ERROR_NO_MORE_FILES) {
        return fail(windows::errorOf(ended), folder);
    }
    return entries;
}

std::string pathOf(const std::string& folder, const WIN32_FIND_DATAW& entry) {
    return joinPath(folder, windows::utf8Text(entry.cFileName));
}

// Removes one name that is not a folder of its own: a file, or a link to a file or a folder.
Expected<void> removeName(const std::string& path, DWORD attributes) {
    const std::wstring wide = widePath(path);
    const bool removed =
        isFolder(attributes) ? RemoveDirectoryW(wide.c_str()) : DeleteFileW(wide.c_str());
    if (!removed) {
        return lastFailure(path);
    }
    return {};
}

// Depth first; keeps going past refusals so that everything deletable goes. A write-protected
// file stays unless `force`. The first refusal names what stayed.
Expected<void> removeTree(const std::string& path, DWORD attributes, bool force) {
    if (isFolder(attributes) && !isLink(attributes)) {
        auto entries = entriesOf(path);
        if (!entries) {
            return tl::unexpected(entries.error());
        }
        Expected<void> firstRefusal;
        for (const auto& entry : *entries) {
            auto removed = removeTree(pathOf(path, entry), entry.dwFileAttributes, force);
            if (!removed && firstRefusal) {
                firstRefusal = removed;
            }
        }
        if (!firstRefusal) {
            return firstRefusal;
        }
        if (!RemoveDirectoryW(widePath(path).c_str())) {
            return lastFailure(path);
        }
        return {};
    }
    if (isWriteProtected(attributes)) {
        if (!force) {
            return failWith(std::errc::permission_denied, path);
        }
        // Removed as a file of any rights is removed from a folder that can be written.
        SetFileAttributesW(widePath(path).c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
    return removeName(path, attributes);
}

// The path made absolute with its links and junctions resolved as far as it exists, without a
// trailing separator (a root keeps its own); where nothing of it can be opened, only made
// absolute and tidied. Both in the \\?\ form, so that the two compare as they are.
std::wstring resolvedPath(const std::string& path) {
    std::wstring absolute = widePath(path);
    if (const DWORD size = GetFullPathNameW(absolute.c_str(), 0, nullptr, nullptr); size > 0) {
        std::wstring full(size, L'\0');
        const DWORD written = GetFullPathNameW(absolute.c_str(), size, full.data(), nullptr);
        if (written > 0 && written < size) {
            full.resize(written);
            absolute = std::move(full);
        }
    }
    // The longest part that exists is resolved; the rest is appended as it is.
    std::wstring rest;
    std::wstring existing = absolute;
    while (!existing.empty()) {
        const HANDLE handle =
            CreateFileW(existing.c_str(), FILE_READ_ATTRIBUTES,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            std::wstring target(MAX_PATH, L'\0');
            DWORD written = GetFinalPathNameByHandleW(handle, target.data(),
                                                      static_cast<DWORD>(target.size()), 0);
            if (written >= target.size()) {
                target.resize(written);
                written = GetFinalPathNameByHandleW(handle, target.data(),
                                                    static_cast<DWORD>(target.size()), 0);
            }
            CloseHandle(handle);
            if (written > 0 && written < target.size()) {
                target.resize(written);
                existing = std::move(target);
            }
            break;
        }
        const auto cut = existing.find_last_of(L'\\');
        if (cut == std::wstring::npos || cut + 1 >= existing.size()) {
            break;
        }
        rest.insert(0, existing.substr(cut));
        existing.resize(cut);
    }
    std::wstring result = existing + rest;
    while (result.size() > 1 && result.back() == L'\\' && result[result.size() - 2] != L':') {
        result.pop_back();
    }
    return result;
}

} // namespace

bool LiesWithin(const std::string& path, const std::string& folder) {
    const std::wstring inner = resolvedPath(path);
    const std::wstring outer = resolvedPath(folder);
    if (inner.empty() || outer.empty()) {
        return false;
    }
    // Windows compares names without regard to case; a root ends in its separator already.
    const auto length = static_cast<int>(outer.size());
    if (inner.size() < outer.size() ||
        CompareStringOrdinal(inner.data(), length, outer.data(), length, TRUE) != CSTR_EQUAL) {
        return false;
    }
    return inner.size() == outer.size() || outer.back() == L'\\' || inner[outer.size()] == L'\\';
}

bool FileExists(const std::string& path) {
    const DWORD attributes = targetAttributes(path);
    return attributes != kMissing && !isFolder(attributes) && !(attributes & FILE_ATTRIBUTE_DEVICE);
}

bool PathExists(const std::string& path) {
    return targetAttributes(path) != kMissing;
}

bool IsLink(const std::string& path) {
    return isLink(ownAttributes(path));
}

bool FolderExists(const std::string& path) {
    return isFolder(targetAttributes(path));
}

Expected<void> CreateFolder(const std::string& path) {
    if (!CreateDirectoryW(widePath(path).c_str(), nullptr)) {
        return lastFailure(path);
    }
    return {};
}

Expected<void> DeleteFolder(const std::string& path) {
    const DWORD own = ownAttributes(path);
    if (own == kMissing) {
        return lastFailure(path);
    }
    if (!isFolder(targetAttributes(path))) {
        return failWith(std::errc::not_a_directory, path);
    }
    if (isLink(own)) {
        return removeName(path, own);
    }
    return removeTree(path, own, false);
}

Expected<void> DeleteFile(const std::string& path) {
    const DWORD own = ownAttributes(path);
    if (own == kMissing) {
        return lastFailure(path);
    }
    if (isFolder(targetAttributes(path))) {
        return failWith(std::errc::is_a_directory, path);
    }
    if (isWriteProtected(own)) {
        return failWith(std::errc::permission_denied, path);
    }
    return removeName(path, own);
}

Expected<void> RemoveEntry(const std::string& path) {
    const DWORD own = ownAttributes(path);
    if (own == kMissing) {
        return lastFailure(path);
    }
    if (isFolder(own) && !isLink(own)) {
        return failWith(std::errc::is_a_directory, path);
    }
    return removeTree(path, own, true);
}

Expected<void> MoveReplacing(const std::string& from, const std::string& to) {
    if (!MoveFileExW(widePath(from).c_str(), widePath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const std::error_code error = windows::lastError();
        // Windows refuses a folder in the way as access denied; said as other systems say it.
        if (isFolder(ownAttributes(to))) {
            return failWith(std::errc::is_a_directory, to);
        }
        return fail(error, to);
    }
    return {};
}

Expected<bool> MoveIfFree(const std::string& from, const std::string& to) {
    // Without MOVEFILE_REPLACE_EXISTING the name is taken only where nothing has it, at once.
    if (!MoveFileExW(widePath(from).c_str(), widePath(to).c_str(), MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
            return false;
        }
        return fail(windows::errorOf(error), to);
    }
    return true;
}

Expected<void> MakeEmptyFolder(const std::string& path) {
    const DWORD own = ownAttributes(path);
    if (own == kMissing) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            return fail(windows::errorOf(error), path);
        }
        return CreateFolder(path);
    }
    if (isLink(own)) {
        return fail(Problem::IsASymbolicLink, path);
    }
    if (!isFolder(own)) {
        return fail(Problem::NotAFolder, path);
    }
    auto entries = entriesOf(path);
    if (!entries) {
        return tl::unexpected(entries.error());
    }
    for (const auto& entry : *entries) {
        // Links go themselves, never what they point to; write-protected files go too.
        if (auto removed = removeTree(pathOf(path, entry), entry.dwFileAttributes, true);
            !removed) {
            return removed;
        }
    }
    return {};
}

Expected<std::string> TemporaryFolder() {
    std::wstring folder(MAX_PATH + 1, L'\0');
    for (;;) {
        const DWORD length = GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
        if (length == 0) {
            return fail(windows::lastError());
        }
        if (length < folder.size()) {
            folder.resize(length);
            break;
        }
        folder.resize(length + 1);
    }
    // Without the trailing separator, which a root keeps.
    if (folder.size() > 3 && folder.back() == L'\\') {
        folder.pop_back();
    }
    return windows::utf8Text(folder);
}

Expected<std::vector<std::string>> ListFiles(const std::string& folder) {
    auto entries = entriesOf(folder);
    if (!entries) {
        return tl::unexpected(entries.error());
    }
    std::vector<std::string> names;
    for (const auto& entry : *entries) {
        if (isFolder(entry.dwFileAttributes)) {
            continue;
        }
        // What FileExists would call a file: a dangling link is no chunk to read.
        if (isLink(entry.dwFileAttributes) && !FileExists(pathOf(folder, entry))) {
            continue;
        }
        names.push_back(windows::utf8Text(entry.cFileName));
    }
    return names;
}

} // namespace trawlmeter::fs
