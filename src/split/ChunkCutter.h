#pragma once

#include "platform/Failure.h"
#include "platform/File.h"
#include "platform/FileWrites.h"
#include "split/ChunkPlan.h"
#include "split/RangeCopier.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace trawlmeter::logs {
class LogReader;
} // namespace trawlmeter::logs

namespace trawlmeter::split {

// Cuts one log into the chunk files destination.000, destination.001, … one chunk at a time, as
// ChunkPlan lays them out: every chunk but the last holds `chunkBuffers` full buffers of
// `bufferBytes` bytes, and a tail shorter than one buffer joins the last. A chunk is written
// whole or not at all: the chunk in hand when something fails is removed, the chunks before it
// stay. A failure of the source names the source (a log read through a LogReader by its label),
// one of a chunk the chunk; a stop is Problem::Stopped, and sizes below one are
// std::errc::invalid_argument.
class ChunkCutter {
public:
    // Runs every few megabytes of the log inside a chunk; false when the cut is to stop.
    using KeepGoing = std::function<bool()>;

    // A plain file, whose length is taken once, now: the number of chunks is known before the
    // first is cut.
    [[nodiscard]] static Expected<ChunkCutter>
    ofFile(const std::string& source, std::string destination, FileWritePort& writes,
           std::int32_t chunkBuffers, std::int32_t bufferBytes);
    // A log read to its end, whose length is known only then (a decompressed log): the same
    // chunks as a plain file of its bytes would give.
    [[nodiscard]] static Expected<ChunkCutter> ofLog(logs::LogReader source,
                                                     std::string destination, FileWritePort& writes,
                                                     std::int32_t chunkBuffers,
                                                     std::int32_t bufferBytes);

    ChunkCutter(ChunkCutter&& other) noexcept;
    ChunkCutter& operator=(ChunkCutter&& other) noexcept;
    ~ChunkCutter();

    // How many chunks the log gives, where that is known before its end.
    std::optional<std::int64_t> chunkCount() const;
    // How many chunks were cut whole so far: the next one's number.
    std::int64_t chunksCut() const { return m_next; }
    // The file of chunk `number`.
    std::string chunkFile(std::int64_t number) const;

    // Cuts the next chunk: true once it is whole, false when the log has no more (an empty log
    // still gives one empty chunk). After a failure, cut no further.
    [[nodiscard]] Expected<bool> cutNext(const KeepGoing& keepGoing);

private:
    ChunkCutter(std::string destination, FileWritePort& writes, std::int32_t chunkBuffers,
                std::int32_t bufferBytes);

    [[nodiscard]] Expected<bool> cutFromFile(const KeepGoing& keepGoing);
    [[nodiscard]] Expected<bool> cutFromLog(const KeepGoing& keepGoing);
    [[nodiscard]] Expected<void> append(File& chunk, std::span<const char> bytes);
    // Removes the chunk in hand, half written, and passes `failure` on.
    tl::unexpected<Failure> discardChunk(File& chunk, Failure failure);
    // The chunk in hand is whole.
    [[nodiscard]] Expected<bool> closeChunk(File& chunk);

    std::string m_destination;
    FileWritePort* m_writes;
    std::int32_t m_bufferBytes;
    std::int64_t m_chunkBytes;
    std::int64_t m_next = 0;
    bool m_ended = false;

    // A plain file: its chunks by plan, copied in the kernel where it can.
    std::optional<File> m_source;
    std::optional<ChunkPlan> m_plan;
    std::unique_ptr<RangeCopier> m_copier;

    // A log read block by block: the rest of the block in hand, and the buffer read past the
    // last whole chunk, which starts the next one.
    std::unique_ptr<logs::LogReader> m_reader;
    std::span<const char> m_pending;
    std::vector<char> m_carried;
    std::int64_t m_sinceCheck = 0;
};

} // namespace trawlmeter::split
