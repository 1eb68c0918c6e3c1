#pragma once

#include "platform/FileWrites.h"
#include "split/RangeCopier.h"

#include <tl/expected.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <system_error>

namespace trawlmeter::split {

struct SplitFailure {
    enum class Kind { InvalidSizes, SourceUnreadable, ChunkUnwritable, Stopped };
    Kind kind;
    std::error_code error;
};

// Cuts one file into the chunk files destination.000, destination.001, … laid out by
// ChunkPlan. A chunk is never left half written: a source that cannot be read to the end or a
// chunk that cannot be written whole takes back every chunk this split wrote.
class ChunkSplitter {
public:
    // Yields to the event loop; false when the split is to stop. It runs after every few
    // megabytes copied and after every chunk.
    using Yield = std::function<bool()>;

    ChunkSplitter(std::string destination, FileWritePort& writes, Yield yield)
        : m_destination(std::move(destination)), m_yield(std::move(yield)), m_copier(writes) {}

    // The number of chunks written, numbered from 0. On a stop the chunks written so far stay
    // whole and the chunk in hand is removed.
    [[nodiscard]] tl::expected<std::int64_t, SplitFailure>
    split(const std::string& source, std::int32_t chunkBuffers, std::int32_t bufferBytes);

private:
    [[nodiscard]] tl::expected<void, SplitFailure>
    writeChunk(int source, std::int64_t number, std::int64_t offset, std::int64_t length);
    void removeChunks(std::int64_t count);

    std::string m_destination;
    Yield m_yield;
    RangeCopier m_copier;
};

} // namespace trawlmeter::split
