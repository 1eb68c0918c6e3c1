#pragma once

#include <string>

#include "platform/Failure.h"
#include "platform/File.h"

namespace trawlmeter {

// A file that appears under its name only once it is whole and on the disk: it is written under
// a fresh hidden name in the same folder and then given its name. Until then, and whenever
// anything fails, the file under the hidden name is removed and whatever had the name stays as
// it was. Every failure names the file's own path.
class AtomicFile {
public:
    // What becomes of a file that already has the name when this one is committed.
    enum class Existing { Replace, Keep };

    // A new, empty file beside `path`.
    [[nodiscard]] static Expected<AtomicFile> create(std::string path);

    AtomicFile(AtomicFile&& other) noexcept = default;
    AtomicFile& operator=(AtomicFile&& other) noexcept = delete;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    // Removes the file under its hidden name unless it was committed.
    ~AtomicFile();

    // Where the content goes, open for writing at its start.
    File& file() { return m_file; }
    // The hidden name, for a writer of its own (such as a database engine) that opens it by path.
    const std::string& hiddenPath() const { return m_hidden; }

    // Makes what was written durable and gives it the name: over whatever had it
    // (Existing::Replace), or only where nothing has it (Existing::Keep: a file that came first
    // stays, and this one goes).
    [[nodiscard]] Expected<void> commit(Existing existing);

private:
    AtomicFile(std::string path, std::string hidden, File file)
        : m_path(std::move(path)), m_hidden(std::move(hidden)), m_file(std::move(file)) {}

    std::string m_path;
    std::string m_hidden;
    File m_file;
    bool m_committed = false;
};

} // namespace trawlmeter
