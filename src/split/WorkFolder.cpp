#include "split/WorkFolder.h"

#include "platform/Problem.h"

#include <filesystem>
#include <vector>

namespace trawlmeter::split {
namespace stdfs = std::filesystem;

std::error_code prepareWorkFolder(const std::string& path, std::string& blocking) {
    blocking = path;
    std::error_code error;
    const auto status = stdfs::symlink_status(path, error);
    if (status.type() == stdfs::file_type::not_found) {
        stdfs::create_directory(path, error);
        return error;
    }
    if (error) {
        return error;
    }
    if (status.type() == stdfs::file_type::symlink) {
        return Problem::IsASymbolicLink;
    }
    if (status.type() != stdfs::file_type::directory) {
        return Problem::NotAFolder;
    }
    // Listed whole before anything goes: a folder being changed need not list every entry.
    std::vector<stdfs::path> leftovers;
    for (stdfs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
        leftovers.push_back(it->path());
    }
    if (error) {
        return error;
    }
    for (const auto& entry : leftovers) {
        // remove_all takes a link itself, never what it points to.
        stdfs::remove_all(entry, error);
        if (error) {
            blocking = entry.string();
            return error;
        }
    }
    return {};
}

} // namespace trawlmeter::split
