#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <vector>

#include <unistd.h>

#include "platform/Problem.h"

namespace trawlmeter::fs {
namespace stdfs = std::filesystem;

namespace {

bool isWriteProtected(const stdfs::file_status& status) {
    using stdfs::perms;
    return status.type() == stdfs::file_type::regular &&
           (status.permissions() &
            (perms::owner_write | perms::group_write | perms::others_write)) == perms::none;
}

// Depth first; keeps going past refusals so that everything deletable goes. The entries are
// read before any is removed, since a folder being changed need not list every entry. The first
// refusal names what stayed.
Expected<void> removeTree(const stdfs::path& path) {
    std::error_code error;
    const auto status = stdfs::symlink_status(path, error);
    if (error) {
        return fail(error, path.string());
    }
    if (status.type() == stdfs::file_type::directory) {
        std::vector<stdfs::path> children;
        stdfs::directory_iterator it(path, error), end;
        for (; !error && it != end; it.increment(error)) {
            children.push_back(it->path());
        }
        if (error) {
            return fail(error, path.string());
        }
        Expected<void> firstRefusal;
        for (const auto& child : children) {
            if (auto removed = removeTree(child); !removed && firstRefusal) {
                firstRefusal = removed;
            }
        }
        if (!firstRefusal) {
            return firstRefusal;
        }
    } else if (isWriteProtected(status)) {
        return fail(std::make_error_code(std::errc::permission_denied), path.string());
    }
    stdfs::remove(path, error);
    if (error) {
        return fail(error, path.string());
    }
    return {};
}

// The path made absolute with its links resolved as far as it exists; where even that fails (a
// folder that cannot be searched), only made absolute and tidied.
stdfs::path resolved(const std::string& path) {
    std::error_code error;
    auto absolute = stdfs::absolute(path, error);
    if (error) {
        absolute = path;
    }
    auto canonical = stdfs::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal() : canonical;
}

} // namespace

bool LiesWithin(const std::string& path, const std::string& folder) {
    const stdfs::path inner = resolved(path);
    const stdfs::path outer = resolved(folder);
    auto innerPart = inner.begin();
    for (auto outerPart = outer.begin(); outerPart != outer.end(); ++outerPart, ++innerPart) {
        // A trailing separator leaves an empty last element.
        if (outerPart->empty() && std::next(outerPart) == outer.end()) {
            break;
        }
        if (innerPart == inner.end() || *innerPart != *outerPart) {
            return false;
        }
    }
    return true;
}

bool FileExists(const std::string& path) {
    std::error_code error;
    return stdfs::is_regular_file(path, error);
}

bool PathExists(const std::string& path) {
    std::error_code error;
    return stdfs::exists(path, error);
}

bool IsLink(const std::string& path) {
    std::error_code error;
    return stdfs::is_symlink(path, error);
}

bool FolderExists(const std::string& path) {
    std::error_code error;
    return stdfs::is_directory(path, error);
}

Expected<void> CreateFolder(const std::string& path) {
    std::error_code error;
    if (!stdfs::create_directory(path, error) && !error) {
        error = std::make_error_code(std::errc::file_exists);
    }
    if (error) {
        return fail(error, path);
    }
    return {};
}

Expected<void> DeleteFolder(const std::string& path) {
    std::error_code error;
    const auto target = stdfs::status(path, error);
    if (error) {
        return fail(error, path);
    }
    if (target.type() != stdfs::file_type::directory) {
        return fail(std::make_error_code(std::errc::not_a_directory), path);
    }
    const auto own = stdfs::symlink_status(path, error);
    if (error) {
        return fail(error, path);
    }
    if (own.type() == stdfs::file_type::symlink) {
        return RemoveEntry(path);
    }
    return removeTree(path);
}

Expected<void> DeleteFile(const std::string& path) {
    std::error_code error;
    const auto own = stdfs::symlink_status(path, error);
    if (error) {
        return fail(error, path);
    }
    std::error_code targetError;
    if (stdfs::is_directory(path, targetError)) {
        return fail(std::make_error_code(std::errc::is_a_directory), path);
    }
    if (isWriteProtected(own)) {
        return fail(std::make_error_code(std::errc::permission_denied), path);
    }
    if (!stdfs::remove(path, error) && !error) {
        error = std::make_error_code(std::errc::no_such_file_or_directory);
    }
    if (error) {
        return fail(error, path);
    }
    return {};
}

Expected<void> RemoveEntry(const std::string& path) {
    if (::unlink(path.c_str()) != 0) {
        return fail({errno, std::generic_category()}, path);
    }
    return {};
}

Expected<void> MoveReplacing(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return fail({errno, std::generic_category()}, to);
    }
    return {};
}

Expected<bool> MoveIfFree(const std::string& from, const std::string& to) {
    // A link never replaces anything.
    if (::link(from.c_str(), to.c_str()) == 0) {
        (void)::unlink(from.c_str());
        return true;
    }
    std::error_code error;
    if (stdfs::exists(stdfs::symlink_status(to, error))) {
        return false;
    }
    // Where the file system has no hard links, a rename is the next best thing as long as
    // nothing has the name.
    return MoveReplacing(from, to).map([] { return true; });
}

Expected<void> MakeEmptyFolder(const std::string& path) {
    std::error_code error;
    const auto status = stdfs::symlink_status(path, error);
    if (status.type() == stdfs::file_type::not_found) {
        if (!stdfs::create_directory(path, error) && error) {
            return fail(error, path);
        }
        return {};
    }
    if (error) {
        return fail(error, path);
    }
    if (status.type() == stdfs::file_type::symlink) {
        return fail(Problem::IsASymbolicLink, path);
    }
    if (status.type() != stdfs::file_type::directory) {
        return fail(Problem::NotAFolder, path);
    }
    // Listed whole before anything goes: a folder being changed need not list every entry.
    std::vector<stdfs::path> entries;
    for (stdfs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
        entries.push_back(it->path());
    }
    if (error) {
        return fail(error, path);
    }
    for (const auto& entry : entries) {
        // remove_all takes a link itself, never what it points to.
        stdfs::remove_all(entry, error);
        if (error) {
            return fail(error, entry.string());
        }
    }
    return {};
}

Expected<std::string> TemporaryFolder() {
    std::error_code error;
    const auto folder = stdfs::temp_directory_path(error);
    if (error) {
        return fail(error);
    }
    // Without the trailing separator TMPDIR may carry: a root keeps its own.
    return (folder / "").parent_path().string();
}

Expected<std::vector<std::string>> ListFiles(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    stdfs::directory_iterator it(folder, error), end;
    for (; !error && it != end; it.increment(error)) {
        // What FileExists would call a file: a fifo or a dangling link is no chunk to read.
        std::error_code typeError;
        if (it->is_regular_file(typeError)) {
            names.push_back(it->path().filename().string());
        }
    }
    if (error) {
        return fail(error, folder);
    }
    return names;
}

} // namespace trawlmeter::fs
