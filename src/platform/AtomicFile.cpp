#include "platform/AtomicFile.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "platform/FileSystem.h"
#include "platform/PathText.h"

namespace trawlmeter {
namespace {

namespace stdfs = std::filesystem;

} // namespace

Expected<AtomicFile> AtomicFile::create(std::string path) {
    const stdfs::path target = pathFromUtf8(path);
    const stdfs::path folder = target.has_parent_path() ? target.parent_path() : stdfs::path(".");
    try {
        std::random_device random;
        // A name taken by another writer is simply drawn again.
        for (int attempt = 0;; ++attempt) {
            char suffix[24];
            std::snprintf(suffix, sizeof suffix, ".%08x%08x.tmp", random(), random());
            std::string name(1, '.');
            name += utf8FromPath(target.filename());
            name += suffix;
            std::string hidden = utf8FromPath(folder / pathFromUtf8(name));
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
        (void)fs::RemoveEntry(m_hidden);
    }
}

Expected<void> AtomicFile::commit(Existing existing) {
    // From here on the hidden name is this function's to remove.
    m_committed = true;
    std::error_code error;
    if (auto synced = m_file.sync(); !synced) {
        error = synced.error().code;
    }
    // Closed before it is named: Windows renames no file that is open.
    if (auto closed = m_file.close(); !closed && !error) {
        error = closed.error().code;
    }
    bool named = false;
    if (!error) {
        // A file that came first keeps the name where this one may only take a free one.
        auto moved = existing == Existing::Replace
                         ? fs::MoveReplacing(m_hidden, m_path).map([] { return true; })
                         : fs::MoveIfFree(m_hidden, m_path);
        if (moved) {
            named = *moved;
        } else {
            error = moved.error().code;
        }
    }
    if (!named) {
        (void)fs::RemoveEntry(m_hidden);
    }
    if (error) {
        return fail(error, m_path);
    }
    return {};
}

} // namespace trawlmeter
