#pragma once

#include "platform/Failure.h"
#include "platform/File.h"
#include "platform/FileWrites.h"
#include "split/RangeCopier.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace trawlmeter::logs {
class LogReader;
} // namespace trawlmeter::logs

namespace trawlmeter::split {

// Cuts one log into the chunk files destination.000, destination.001, … laid out by ChunkPlan:
// every chunk but the last holds `chunkBuffers` full buffers of `bufferBytes` bytes, and a tail
// shorter than one buffer joins the last. A chunk is never left half written: a source that
// cannot be read to its end or a chunk that cannot be written whole takes back every chunk this
// split wrote. A failure of the source names the source (a log read through a LogReader by its
// label), one of a chunk the chunk; a stop is Problem::Stopped, and sizes below one are
// std::errc::invalid_argument.
class ChunkSplitter {
public:
    // Yields to the event loop; false when the split is to stop. It runs after every few
    // megabytes and after every chunk.
    using Yield = std::function<bool()>;

    ChunkSplitter(std::string destination, FileWritePort& writes, Yield yield)
        : m_destination(std::move(destination)), m_writes(writes), m_yield(std::move(yield)),
          m_copier(writes) {}

    // A plain file, whose length is taken once at the start. The number of chunks written,
    // numbered from 0. On a stop the chunks written so far stay whole and the chunk in hand is
    // removed.
    [[nodiscard]] Expected<std::int64_t> split(const std::string& source, std::int32_t chunkBuffers,
                                               std::int32_t bufferBytes);
    // A log read to its end, whose length is known only then (a decompressed log): the same
    // chunks as a plain file of its bytes would give.
    [[nodiscard]] Expected<std::int64_t> split(logs::LogReader& source, std::int32_t chunkBuffers,
                                               std::int32_t bufferBytes);

private:
    [[nodiscard]] Expected<void> writeChunk(const File& source, std::int64_t number,
                                            std::int64_t offset, std::int64_t length);
    [[nodiscard]] Expected<File> startChunk(std::int64_t number);
    [[nodiscard]] Expected<void> append(File& chunk, std::span<const char> bytes);
    [[nodiscard]] static Expected<void> closeChunk(File& chunk);
    // Removes the chunk in hand, half written, and passes `failure` on.
    tl::unexpected<Failure> discardChunk(File& chunk, std::int64_t number, Failure failure);
    // Removes chunks 0 to `count` - 1 and passes `failure` on; a stop keeps the whole ones.
    tl::unexpected<Failure> giveUp(Failure failure, std::int64_t count);

    std::string m_destination;
    FileWritePort& m_writes;
    Yield m_yield;
    RangeCopier m_copier;
};

} // namespace trawlmeter::split
