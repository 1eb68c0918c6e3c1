#include "analysis/ChunkFile.h"

namespace trawlmeter::analysis {

std::optional<ChunkFile> ChunkFile::open(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return std::nullopt;
    }
    // Reads come in large blocks already; a stream buffer would only copy them once more.
    std::setvbuf(file, nullptr, _IONBF, 0);
    return ChunkFile(file);
}

std::optional<std::size_t> ChunkFile::read(std::span<char> buffer) {
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        const std::size_t got =
            std::fread(buffer.data() + filled, 1, buffer.size() - filled, m_file.get());
        filled += got;
        if (got == 0) {
            break;
        }
    }
    if (std::ferror(m_file.get())) {
        return std::nullopt;
    }
    return filled;
}

} // namespace trawlmeter::analysis
