#include "split/ChunkPlan.h"

#include <algorithm>

namespace trawlmeter::split {

ChunkPlan::ChunkPlan(std::int64_t sourceBytes, std::int32_t chunkBuffers, std::int32_t bufferBytes)
    : m_sourceBytes(sourceBytes),
      m_chunkBytes(static_cast<std::int64_t>(chunkBuffers) * bufferBytes) {
    const std::int64_t fullBuffers = sourceBytes / bufferBytes;
    const std::int64_t chunksOfFullBuffers =
        fullBuffers / chunkBuffers + (fullBuffers % chunkBuffers != 0 ? 1 : 0);
    m_chunkCount = std::max<std::int64_t>(1, chunksOfFullBuffers);
}

ByteRange ChunkPlan::chunk(std::int64_t number) const {
    const std::int64_t offset = number * m_chunkBytes;
    const bool last = number == m_chunkCount - 1;
    return {offset, last ? m_sourceBytes - offset : m_chunkBytes};
}

} // namespace trawlmeter::split
