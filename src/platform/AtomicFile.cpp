#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include <unistd.h>

namespace trawlmeter {
namespace {

namespace stdfs = std::filesystem;

std::error_code lastError() {
    return {errno, std::generic_category()};
}

// True when anything, even a dangling link, has that name.
bool isTaken(const std::string& path) {
    std::error_code error;
    return stdfs::exists(stdfs::symlink_status(path, error));
}

} // namespace

Expected<AtomicFile> AtomicFile::create(std::string path) {
    const stdfs::path target(path);
    const stdfs::path folder = target.has_parent_path() ? target.parent_path() : stdfs::path(".");
    try {
        std::random_device random;
        // A name taken by another writer is simply drawn again.
        for (int attempt = 0;; ++attempt) {
            char suffix[24];
            std::snprintf(suffix, sizeof suffix, ".%08x%08x.tmp", random(), random());
            std::string name(1, '.');
            name += target.filename().string();
            name += suffix;
            std::string hidden = (folder / name).string();
            auto file = File::createNew(hidden);
            if (file) {
                return AtomicFile(std::move(path), std::move(hidden), std::move(*file));
            }
            if (file.error().code != std::errc::file_exists || attempt == 15) {
                return fail(file.error().code, std::move(path));
            }
        }
    } catch (const std::system_error& error) {
        // No source of randomness for the hidden name.
        return fail(error.code(), std::move(path));
    }
}

AtomicFile::~AtomicFile() {
    if (!m_committed && !m_hidden.empty()) {
        (void)m_file.close();
        (void)::unlink(m_hidden.c_str());
    }
}

Expected<void> AtomicFile::commit(Existing existing) {
    // From here on the hidden name is this function's to remove.
    m_committed = true;
    std::error_code error;
    if (auto synced = m_file.sync(); !synced) {
        error = synced.error().code;
    }
    if (auto closed = m_file.close(); !closed && !error) {
        error = closed.error().code;
    }
    bool renamed = false;
    // A link never replaces anything. Where the file system has no hard links, a rename is the
    // next best thing as long as nothing has the name.
    const bool rename =
        !error && (existing == Existing::Replace ||
                   (::link(m_hidden.c_str(), m_path.c_str()) != 0 && !isTaken(m_path)));
    if (rename) {
        renamed = ::rename(m_hidden.c_str(), m_path.c_str()) == 0;
        if (!renamed) {
            error = lastError();
        }
    }
    if (!renamed) {
        (void)::unlink(m_hidden.c_str());
    }
    if (error) {
        return fail(error, m_path);
    }
    return {};
}

} // namespace trawlmeter
