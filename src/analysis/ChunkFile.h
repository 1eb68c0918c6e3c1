#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace trawlmeter::analysis {

// A chunk file opened for reading from its first byte on; closed when the object goes.
class ChunkFile {
public:
    // Nothing when the file cannot be opened for reading.
    static std::optional<ChunkFile> open(const std::string& path);

    // Fills `buffer` from where the last read stopped. The number of bytes read, 0 at the end
    // of the file; nothing when the file cannot be read (a folder, an input error).
    std::optional<std::size_t> read(std::span<char> buffer);

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    explicit ChunkFile(std::FILE* file) : m_file(file) {}

    std::unique_ptr<std::FILE, Closer> m_file;
};

} // namespace trawlmeter::analysis
