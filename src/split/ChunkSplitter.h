#pragma once

#include "platform/FileWrites.h"
#include "platform/File.h"
#include "split/RangeCopier.h"

#include <tl/expected.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace trawlmeter::logs {
class LogReader;
} // namespace trawlmeter::logs

namespace trawlmeter::split {

struct SplitFailure {
    enum class Kind { InvalidSizes, SourceUnreadable, ChunkUnwritable, Stopped };
    Kind kind;
    // The system's or libarchive's words; empty for a stop.
    std::string reason;
};

// Cuts one log into the chunk files destination.000, destination.001, … laid out by ChunkPlan:
// every chunk but the last holds `chunkBuffers` full buffers of `bufferBytes` bytes, and a tail
// shorter than one buffer joins the last. A chunk is never left half written: a source that
// cannot be read to its end or a chunk that cannot be written whole takes back every chunk this
// split wrote.
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
    [[nodiscard]] tl::expected<std::int64_t, SplitFailure>
    split(const std::string& source, std::int32_t chunkBuffers, std::int32_t bufferBytes);
    // A log read to its end, whose length is known only then (a decompressed log): the same
    // chunks as a plain file of its bytes would give.
    [[nodiscard]] tl::expected<std::int64_t, SplitFailure>
    split(logs::LogReader& source, std::int32_t chunkBuffers, std::int32_t bufferBytes);

private:
    [[nodiscard]] tl::expected<void, SplitFailure>
    writeChunk(const File& source, std::int64_t number, std::int64_t offset, std::int64_t length);
    [[nodiscard]] tl::expected<File, SplitFailure> startChunk(std::int64_t number);
    [[nodiscard]] tl::expected<void, SplitFailure> append(File& chunk, std::span<const char> bytes);
    [[nodiscard]] static tl::expected<void, SplitFailure> closeChunk(File& chunk);
    // Removes the chunk in hand, half written, and passes `failure` on.
    tl::unexpected<SplitFailure> discardChunk(File& chunk, std::int64_t number,
                                              SplitFailure failure);
    // Removes chunks 0 to `count` - 1 and passes `failure` on; a stop keeps the whole ones.
    tl::unexpected<SplitFailure> giveUp(SplitFailure failure, std::int64_t count);

    std::string m_destination;
    FileWritePort& m_writes;
    Yield m_yield;
    RangeCopier m_copier;
};

} // namespace trawlmeter::split
