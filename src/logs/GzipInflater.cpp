#include "logs/GzipInflater.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <system_error>

#include <zlib.h>

#include "platform/Problem.h"

namespace trawlmeter::logs {
namespace {

constexpr std::size_t kInputBytes = 1 << 18;
// zlib's window bits for gzip alone, with the largest window.
constexpr int kGzipOnly = 15 + 16;

} // namespace

struct GzipInflater::Stream {
    z_stream z{};
};

GzipInflater::GzipInflater(File& file)
    : m_file(&file), m_stream(std::make_unique<Stream>()), m_input(kInputBytes) {}

GzipInflater::GzipInflater(GzipInflater&&) noexcept = default;

GzipInflater::~GzipInflater() {
    if (m_stream && m_started) {
        inflateEnd(&m_stream->z);
    }
}

tl::unexpected<Failure> GzipInflater::failWith(Failure failure) {
    failure.subject = m_file->path();
    m_failure = failure;
    return tl::unexpected(std::move(failure));
}

Expected<bool> GzipInflater::refill() {
    z_stream& z = m_stream->z;
    const std::size_t kept = z.avail_in;
    if (kept > 0 && z.next_in != reinterpret_cast<Bytef*>(m_input.data())) {
        std::memmove(m_input.data(), z.next_in, kept);
    }
    z.next_in = reinterpret_cast<Bytef*>(m_input.data());
    if (m_fileEnded || kept == m_input.size()) {
        return kept > 0;
    }
    const auto got = m_file->read(std::span<char>(m_input).subspan(kept));
    if (!got) {
        return tl::unexpected(got.error());
    }
    m_fileEnded = *got == 0;
    z.avail_in = static_cast<uInt>(kept + *got);
    return z.avail_in > kept;
}

Expected<bool> GzipInflater::nextMember() {
    z_stream& z = m_stream->z;
    bool padding = false;
    for (;;) {
        if (z.avail_in < 2) {
            auto more = refill();
            if (!more) {
                return tl::unexpected(more.error());
            }
            if (z.avail_in == 0) {
                return false;
            }
            if (z.avail_in < 2 && !*more && z.next_in[0] != 0) {
                return fail(Problem::GzipTrailingGarbage);
            }
        }
        // Zero bytes up to the end are padding; after them nothing but zeros may follow.
        const auto* at = z.next_in;
        const auto* end = at + z.avail_in;
        const auto* nonZero = std::find_if(at, end, [](Bytef byte) { return byte != 0; });
        if (nonZero != at) {
            padding = true;
            z.avail_in -= static_cast<uInt>(nonZero - at);
            z.next_in = const_cast<Bytef*>(nonZero);
            continue;
        }
        if (padding || z.avail_in < 2 || z.next_in[0] != 0x1f || z.next_in[1] != 0x8b) {
            return fail(Problem::GzipTrailingGarbage);
        }
        if (inflateReset(&z) != Z_OK) {
            return fail(Problem::DamagedLog);
        }
        return true;
    }
}

Expected<std::size_t> GzipInflater::read(std::span<char> out) {
    if (m_failure) {
        return tl::unexpected(*m_failure);
    }
    z_stream& z = m_stream->z;
    const std::size_t wanted = std::min<std::size_t>(out.size(), 1U << 30);
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(wanted);
    auto inflated = inflateInto();
    const std::size_t produced = wanted - z.avail_out;
    // The bytes inflated before a failure are the log's: they are given now, the failure (kept)
    // with the next read, so whatever precedes damage or a truncation is read.
    if (!inflated && produced > 0) {
        return produced;
    }
    return inflated;
}

Expected<std::size_t> GzipInflater::inflateInto() {
    z_stream& z = m_stream->z;
    const std::size_t wanted = z.avail_out;
    if (!m_started) {
        auto some = refill();
        if (!some) {
            return failWith(some.error());
        }
        if (z.avail_in < 2 || z.next_in[0] != 0x1f || z.next_in[1] != 0x8b) {
            return failWith(z.avail_in == 0 ? Failure{Problem::TruncatedGzip, {}, {}}
                                            : Failure{Problem::WrongFormat, {}, "gzip"});
        }
        if (inflateInit2(&z, kGzipOnly) != Z_OK) {
            return failWith({std::make_error_code(std::errc::not_enough_memory), {}, {}});
        }
        m_started = true;
    }
    while (z.avail_out > 0 && !m_ended) {
        if (m_betweenMembers) {
            auto another = nextMember();
            if (!another) {
                return failWith(another.error());
            }
            m_betweenMembers = false;
            m_ended = !*another;
            continue;
        }
        if (z.avail_in == 0) {
            auto more = refill();
            if (!more) {
                return failWith(more.error());
            }
        }
        const uInt before = z.avail_out;
        const int status = inflate(&z, Z_NO_FLUSH);
        if (status == Z_STREAM_END) {
            // zlib has checked the member's CRC-32 and length.
            m_betweenMembers = true;
            continue;
        }
        if (status == Z_OK) {
            continue;
        }
        if (status == Z_BUF_ERROR && z.avail_in == 0 && m_fileEnded) {
            return failWith({Problem::DamagedLog, {}, "truncated gzip input"});
        }
        if (status == Z_BUF_ERROR && z.avail_out < before) {
            continue;
        }
        const std::string_view words = z.msg ? z.msg : "";
        if (words == "incorrect data check") {
            return failWith({Problem::GzipCrcMismatch, {}, {}});
        }
        if (words == "incorrect length check") {
            return failWith({Problem::GzipLengthMismatch, {}, {}});
        }
        if (status == Z_MEM_ERROR) {
            return failWith({std::make_error_code(std::errc::not_enough_memory), {}, {}});
        }
        return failWith({Problem::DamagedLog, {}, std::string(words)});
    }
    return wanted - z.avail_out;
}

} // namespace trawlmeter::logs
