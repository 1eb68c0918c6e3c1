#include "split/LogGzipCheck.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace trawlmeter::split {
namespace {

// The gzip CRC-32 polynomial, bit-reversed: bit 31 stands for x^0, bit 0 for x^31.
constexpr std::uint32_t kPolynomial = 0xEDB88320;

// Sixteen tables so the loop takes sixteen bytes a step ("slicing by 16").
constexpr auto kTables = [] {
    std::array<std::array<std::uint32_t, 256>, 16> tables{};
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
        std::uint32_t crc = byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ ((crc & 1) != 0 ? kPolynomial : 0);
        }
        tables[0][byte] = crc;
    }
    for (std::size_t table = 1; table < tables.size(); ++table) {
        for (std::size_t byte = 0; byte < 256; ++byte) {
            const std::uint32_t previous = tables[table - 1][byte];
            tables[table][byte] = (previous >> 8) ^ tables[0][previous & 0xff];
        }
    }
    return tables;
}();

std::uint32_t littleEndian32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

std::uint32_t updateCrc(std::uint32_t crc, const unsigned char* p, std::size_t length) {
    const auto& t = kTables;
    crc = ~crc;
    for (; length >= 16; p += 16, length -= 16) {
        std::uint32_t word = littleEndian32(p) ^ crc;
        crc = 0;
        for (std::size_t at = 0; at < 16; ++at) {
            if (at % 4 == 0 && at > 0) {
                word = littleEndian32(p + at);
            }
            crc ^= t[15 - at][word & 0xff];
            word >>= 8;
        }
    }
    for (; length > 0; ++p, --length) {
        crc = (crc >> 8) ^ t[0][(crc ^ *p) & 0xff];
    }
    return ~crc;
}

// a·b modulo the polynomial, both bit-reversed.
std::uint32_t multiplyModulo(std::uint32_t a, std::uint32_t b) {
    std::uint32_t product = 0;
    for (std::uint32_t bit = 1U << 31; bit != 0; bit >>= 1) {
        if ((a & bit) != 0) {
            product ^= b;
        }
        b = (b & 1) != 0 ? (b >> 1) ^ kPolynomial : b >> 1;
    }
    return product;
}

// The CRC of A followed by B from the CRCs of both and the length of B: A's CRC is carried
// over B's bytes by multiplying with x^(8·length), found by repeated squaring.
std::uint32_t combineCrc(std::uint32_t crcA, std::uint32_t crcB, std::uint64_t lengthB) {
    std::uint32_t power = 1U << 31;  // x^0
    std::uint32_t square = 1U << 23; // x^8
    for (; lengthB != 0; lengthB >>= 1) {
        if ((lengthB & 1) != 0) {
            power = multiplyModulo(square, power);
        }
        square = multiplyModulo(square, square);
    }
    return multiplyModulo(power, crcA) ^ crcB;
}

struct Trailer {
    std::uint32_t crc;
    std::uint32_t length; // of the member's data, modulo 2^32
};

// Header 10, the shortest deflate data 2, trailer 8.
constexpr std::int64_t kShortestMember = 20;

bool readAt(int fd, unsigned char* into, std::size_t length, std::int64_t offset) {
    while (length > 0) {
        const ssize_t got = ::pread(fd, into, length, offset);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        into += got;
        length -= static_cast<std::size_t>(got);
        offset += got;
    }
    return true;
}

std::optional<Trailer> trailerBefore(int fd, std::int64_t offset) {
    std::array<unsigned char, 8> bytes{};
    if (!readAt(fd, bytes.data(), bytes.size(), offset - 8)) {
        return std::nullopt;
    }
    return Trailer{littleEndian32(bytes.data()), littleEndian32(bytes.data() + 4)};
}

// The trailers of the members of a file of `size` bytes, found as the eight bytes before each
// place a member header can start (magic, deflate, no reserved flags). A match inside deflated
// data is rare and can only make a file of several members fail the check, never pass it.
std::optional<std::vector<Trailer>> memberTrailers(int fd, std::int64_t size) {
    constexpr std::int64_t kBlock = 1 << 20;
    constexpr std::int64_t kHeaderBytes = 4;
    std::vector<unsigned char> block(static_cast<std::size_t>(kBlock + kHeaderBytes));
    std::vector<Trailer> trailers;
    std::int64_t lastStart = 0;
    for (std::int64_t offset = kShortestMember; offset + kShortestMember <= size;
         offset += kBlock) {
        const std::int64_t length = std::min(kBlock + kHeaderBytes, size - offset);
        if (!readAt(fd, block.data(), static_cast<std::size_t>(length), offset)) {
            return std::nullopt;
        }
        const std::int64_t scanned = std::min(kBlock, size - kShortestMember + 1 - offset);
        for (std::int64_t at = 0; at < scanned && at + kHeaderBytes <= length; ++at) {
            const unsigned char* p = block.data() + at;
            if (p[0] != 0x1f || p[1] != 0x8b || p[2] != 8 || (p[3] & 0xe0) != 0 ||
                offset + at - lastStart < kShortestMember) {
                continue;
            }
            const auto trailer = trailerBefore(fd, offset + at);
            if (!trailer) {
                return std::nullopt;
            }
            trailers.push_back(*trailer);
            lastStart = offset + at;
        }
    }
    const auto last = trailerBefore(fd, size);
    if (!last) {
        return std::nullopt;
    }
    trailers.push_back(*last);
    return trailers;
}

} // namespace

void LogGzipCheck::add(std::span<const char> bytes) {
    m_crc = updateCrc(m_crc, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    m_length += bytes.size();
}

tl::expected<void, std::string> LogGzipCheck::verify(int fd) const {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return tl::make_unexpected(std::generic_category().message(errno));
    }
    const std::int64_t size = info.st_size;
    if (size < kShortestMember) {
        return tl::make_unexpected(std::string("truncated"));
    }
    const auto last = trailerBefore(fd, size);
    if (last && last->crc == m_crc && last->length == static_cast<std::uint32_t>(m_length)) {
        return {};
    }
    // Several members: one of 4 GiB or more fails here, as its trailer keeps its length only
    // modulo 2^32.
    const auto trailers = memberTrailers(fd, size);
    if (!trailers) {
        return tl::make_unexpected(std::string("cannot read back its gzip trailers"));
    }
    std::uint32_t crc = 0;
    std::uint64_t length = 0;
    for (const Trailer& trailer : *trailers) {
        crc = combineCrc(crc, trailer.crc, trailer.length);
        length += trailer.length;
    }
    if (crc != m_crc) {
        return tl::make_unexpected(std::string("damaged (CRC mismatch)"));
    }
    if (length != m_length) {
        return tl::make_unexpected(std::string("damaged (length mismatch)"));
    }
    return {};
}

} // namespace trawlmeter::split
