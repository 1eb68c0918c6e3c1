#include "logs/LogGzipCheck.h"

#include <algorithm>
#include <array>
#include <optional>
#include <system_error>
#include <vector>

#include <zlib.h>

#include "platform/Problem.h"

namespace trawlmeter::logs {
namespace {

std::uint32_t littleEndian32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

struct Trailer {
    std::uint32_t crc;
    std::uint32_t length; // of the member's data, modulo 2^32
};

// Header 10, the shortest deflate data 2, trailer 8.
constexpr std::int64_t kShortestMember = 20;

// True when all `length` bytes from `offset` were read.
bool readAt(const File& file, unsigned char* into, std::size_t length, std::int64_t offset) {
    const auto got = file.readAt({reinterpret_cast<char*>(into), length}, offset);
    return got && *got == length;
}

std::optional<Trailer> trailerBefore(const File& file, std::int64_t offset) {
    std::array<unsigned char, 8> bytes{};
    if (!readAt(file, bytes.data(), bytes.size(), offset - 8)) {
        return std::nullopt;
    }
    return Trailer{littleEndian32(bytes.data()), littleEndian32(bytes.data() + 4)};
}

// The trailers of the members of a file of `size` bytes, found as the eight bytes before each
// place a member header can start (magic, deflate, no reserved flags). A match inside deflated
// data is rare and can only make a file of several members fail the check, never pass it.
std::optional<std::vector<Trailer>> memberTrailers(const File& file, std::int64_t size) {
    constexpr std::int64_t kBlock = 1 << 20;
    constexpr std::int64_t kHeaderBytes = 4;
    std::vector<unsigned char> block(static_cast<std::size_t>(kBlock + kHeaderBytes));
    std::vector<Trailer> trailers;
    std::int64_t lastStart = 0;
    for (std::int64_t offset = kShortestMember; offset + kShortestMember <= size;
         offset += kBlock) {
        const std::int64_t length = std::min(kBlock + kHeaderBytes, size - offset);
        if (!readAt(file, block.data(), static_cast<std::size_t>(length), offset)) {
            return std::nullopt;
        }
        const std::int64_t scanned = std::min(kBlock, size - kShortestMember + 1 - offset);
        for (std::int64_t at = 0; at < scanned && at + kHeaderBytes <= length; ++at) {
            const unsigned char* p = block.data() + at;
            if (p[0] != 0x1f || p[1] != 0x8b || p[2] != 8 || (p[3] & 0xe0) != 0 ||
                offset + at - lastStart < kShortestMember) {
                continue;
            }
            const auto trailer = trailerBefore(file, offset + at);
            if (!trailer) {
                return std::nullopt;
            }
            trailers.push_back(*trailer);
            lastStart = offset + at;
        }
    }
    const auto last = trailerBefore(file, size);
    if (!last) {
        return std::nullopt;
    }
    trailers.push_back(*last);
    return trailers;
}

} // namespace

void LogGzipCheck::add(std::span<const char> bytes) {
    m_crc = static_cast<std::uint32_t>(
        crc32_z(m_crc, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
    m_length += bytes.size();
}

Expected<void> LogGzipCheck::verify(const File& file) const {
    const auto fileSize = file.size();
    if (!fileSize) {
        return tl::unexpected(fileSize.error());
    }
    const std::int64_t size = *fileSize;
    if (size < kShortestMember) {
        return fail(Problem::TruncatedGzip, file.path());
    }
    const auto last = trailerBefore(file, size);
    if (last && last->crc == m_crc && last->length == static_cast<std::uint32_t>(m_length)) {
        return {};
    }
    // Several members: one of 4 GiB or more fails here, as its trailer keeps its length only
    // modulo 2^32; on Windows, where zlib counts lengths in a 32-bit long, one of 2 GiB or more.
    const auto trailers = memberTrailers(file, size);
    if (!trailers) {
        return fail(Problem::GzipTrailersUnreadable, file.path());
    }
    std::uint32_t crc = 0;
    std::uint64_t length = 0;
    for (const Trailer& trailer : *trailers) {
        crc = static_cast<std::uint32_t>(
            crc32_combine(crc, trailer.crc, static_cast<z_off_t>(trailer.length)));
        length += trailer.length;
    }
    if (crc != m_crc) {
        return fail(Problem::GzipCrcMismatch, file.path());
    }
    if (length != m_length) {
        return fail(Problem::GzipLengthMismatch, file.path());
    }
    return {};
}

} // namespace trawlmeter::logs
