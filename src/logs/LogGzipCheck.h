#pragma once

#include "platform/Failure.h"
#include "platform/File.h"

#include <cstdint>
#include <span>

namespace trawlmeter::logs {

// libarchive inflates gzip without checking the CRC-32 and length that end each member, so a
// flipped byte can come out as different data; this adds that check over the inflated bytes.
class LogGzipCheck {
public:
    void add(std::span<const char> bytes);

    // Whether the bytes added match the gzip file `file`: the trailer at its end, or, for
    // members one after another, all their trailers together. The reason when they do not, or
    // when the file cannot be read back.
    [[nodiscard]] Expected<void> verify(const File& file) const;

private:
    std::uint32_t m_crc = 0;
    std::uint64_t m_length = 0;
};

} // namespace trawlmeter::logs
