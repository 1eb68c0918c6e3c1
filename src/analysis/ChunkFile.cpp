#include "analysis/ChunkFile.h"

#include <cerrno>

namespace trawlmeter::analysis {

tl::expected<ChunkFile, std::error_code> ChunkFile::open(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return tl::unexpected(std::error_code(errno, std::generic_category()));
    }
    // Reads come in large blocks already; a stream buffer would only copy them once more.
    std::setvbuf(file, nullptr, _IONBF, 0);
    return ChunkFile(file);
}

tl::expected<std::size_t, std::error_code> ChunkFile::read(std::span<char> buffer) {
    std::size_t filled = 0;
    errno = 0;
    while (filled < buffer.size()) {
        const std::size_t got =
            std::fread(buffer.data() + filled, 1, buffer.size() - filled, m_file.get());
        filled += got;
        if (got == 0) {
            break;
        }
    }
    if (std::ferror(m_file.get())) {
        return tl::unexpected(std::error_code(errno != 0 ? errno : EIO, std::generic_category()));
    }
    return filled;
}

} // namespace trawlmeter::analysis
