#pragma once

#include "split/RangeCopier.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace trawlmeter::split {

enum class SplitOutcome { Split, InvalidSizes, SourceUnreadable, ReadFailed, Stopped };

// Cuts one file into the chunk files destination.000, destination.001, … laid out by
// ChunkPlan. A chunk that cannot be made or fully written is left out and the split goes on;
// a source that cannot be opened gets no chunk, and one that fails to read midway takes back
// every chunk this split wrote.
class ChunkSplitter {
public:
    // Yields to the event loop; false when the split is to stop. It runs after every few
    // megabytes copied and after every chunk.
    using Yield = std::function<bool()>;

    ChunkSplitter(std::string destination, Yield yield)
        : m_destination(std::move(destination)), m_yield(std::move(yield)) {}

    // On a stop the chunks written so far stay whole and the chunk in hand is removed.
    SplitOutcome split(const std::string& source, std::int32_t chunkBuffers,
                       std::int32_t bufferBytes);

private:
    enum class ChunkOutcome { Written, NotWritten, ReadFailed, Stopped };

    ChunkOutcome writeChunk(int source, std::int64_t number, std::int64_t offset,
                            std::int64_t length);
    void noteWritten(std::int64_t number);
    void removeWrittenChunks();

    std::string m_destination;
    Yield m_yield;
    RangeCopier m_copier;
    // Runs [first, last) of the chunk numbers this split wrote, kept short for any count.
    std::vector<std::pair<std::int64_t, std::int64_t>> m_written;
};

} // namespace trawlmeter::split
