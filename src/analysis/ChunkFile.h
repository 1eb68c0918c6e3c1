#pragma once

#include <tl/expected.hpp>

#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <system_error>

namespace trawlmeter::analysis {

// A chunk file opened for reading from its first byte on; closed when the object goes.
class ChunkFile {
public:
    // The reason when the file cannot be opened for reading.
    [[nodiscard]] static tl::expected<ChunkFile, std::error_code> open(const std::string& path);

    // Fills `buffer` from where the last read stopped. The number of bytes read, 0 at the end
    // of the file; the reason when the file cannot be read (a folder, an input error).
    [[nodiscard]] tl::expected<std::size_t, std::error_code> read(std::span<char> buffer);

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    explicit ChunkFile(std::FILE* file) : m_file(file) {}

    std::unique_ptr<std::FILE, Closer> m_file;
};

} // namespace trawlmeter::analysis
