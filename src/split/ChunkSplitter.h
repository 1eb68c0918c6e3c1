#pragma once

#include "platform/Failure.h"
#include "split/ChunkCutter.h"

#include <cstdint>
#include <functional>

namespace trawlmeter::split {

// Cuts a whole log into its chunk files before anything else reads them. A source that cannot
// be read to its end or a chunk that cannot be written whole takes back every chunk this split
// wrote; a stop keeps the whole ones and removes the chunk in hand.
class ChunkSplitter {
public:
    // Yields to the event loop; false when the split is to stop. It runs after every few
    // megabytes and after every chunk.
    using Yield = std::function<bool()>;

    explicit ChunkSplitter(Yield yield) : m_yield(std::move(yield)) {}

    // Cuts every chunk `cutter` has left: how many chunks it cut in all, numbered from 0. A
    // stop is Problem::Stopped.
    [[nodiscard]] Expected<std::int64_t> split(ChunkCutter& cutter);

private:
    Yield m_yield;
};

} // namespace trawlmeter::split
