#pragma once

#include <cstdint>

namespace trawlmeter::split {

// The chunks an analysis run cuts a log into: 2048 buffers of 1024 bytes, 2 MiB each.
inline constexpr std::int32_t kRunChunkBuffers = 2048;
inline constexpr std::int32_t kRunBufferBytes = 1024;
inline constexpr std::int64_t kRunChunkBytes = std::int64_t{kRunChunkBuffers} * kRunBufferBytes;
// The most chunk files a run's work folder holds at once: its cut runs this far ahead of the
// chunks the scan is done with, so scanned chunks go before the kernel writes them to the disk.
inline constexpr std::int64_t kRunChunksAhead = 8;

struct ByteRange {
    std::int64_t offset;
    std::int64_t length;
};

// Where the chunks of a source of `sourceBytes` bytes begin and end when every chunk but the
// last takes `chunkBuffers` full buffers of `bufferBytes` bytes. A new chunk starts only for a
// full buffer, so the tail shorter than one buffer joins the last chunk, and an empty source
// still has one (empty) chunk. Both sizes must be positive.
class ChunkPlan {
public:
    ChunkPlan(std::int64_t sourceBytes, std::int32_t chunkBuffers, std::int32_t bufferBytes);

    std::int64_t chunkCount() const { return m_chunkCount; }
    // `number` from 0 to chunkCount() - 1.
    ByteRange chunk(std::int64_t number) const;

private:
    std::int64_t m_sourceBytes;
    std::int64_t m_chunkBytes;
    std::int64_t m_chunkCount;
};

} // namespace trawlmeter::split
