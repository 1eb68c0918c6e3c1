#pragma once

#include "platform/File.h"

#include <tl/expected.hpp>

#include <cstdint>
#include <span>
#include <string>

namespace trawlmeter::logs {

// libarchive inflates gzip without checking the CRC-32 and length that end each member, so a
// flipped byte can come out as different data; this adds that check over the inflated bytes.
class LogGzipCheck {
public:
    void add(std::span<const char> bytes);

    // Whether the bytes added match the gzip file `file`: the trailer at its end, or, for
    // members one after another, all their trailers together. A reason when they do not.
    [[nodiscard]] tl::expected<void, std::string> verify(const File& file) const;

private:
    std::uint32_t m_crc = 0;
    std::uint64_t m_length = 0;
};

} // namespace trawlmeter::logs
