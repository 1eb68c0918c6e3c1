#include "split/ChunkCutter.h"

#include "logs/LogReader.h"
#include "platform/FileSystem.h"
#include "platform/Problem.h"
#include "split/ChunkNames.h"

#include <algorithm>
#include <utility>

namespace trawlmeter::split {
namespace {

// A few milliseconds of copying between two checks.
constexpr std::int64_t kBytesPerCheck = 8 << 20;

Expected<void> checkSizes(std::int32_t chunkBuffers, std::int32_t bufferBytes) {
    if (chunkBuffers <= 0 || bufferBytes <= 0) {
        return fail(std::make_error_code(std::errc::invalid_argument));
    }
    return {};
}

Failure stopped() {
    return {Problem::Stopped, {}, {}};
}

} // namespace

ChunkCutter::ChunkCutter(std::string destination, FileWritePort& writes, std::int32_t chunkBuffers,
                         std::int32_t bufferBytes)
    : m_destination(std::move(destination)), m_writes(&writes), m_bufferBytes(bufferBytes),
      m_chunkBytes(static_cast<std::int64_t>(chunkBuffers) * bufferBytes) {}

ChunkCutter::ChunkCutter(ChunkCutter&& other) noexcept = default;
ChunkCutter& ChunkCutter::operator=(ChunkCutter&& other) noexcept = default;
ChunkCutter::~ChunkCutter() = default;

Expected<ChunkCutter> ChunkCutter::ofFile(const std::string& source, std::string destination,
                                          FileWritePort& writes, std::int32_t chunkBuffers,
                                          std::int32_t bufferBytes) {
    if (auto sizes = checkSizes(chunkBuffers, bufferBytes); !sizes) {
        return tl::unexpected(sizes.error());
    }
    auto input = File::openRegularForReading(source);
    if (!input) {
        return tl::unexpected(input.error());
    }
    const auto length = input->size();
    if (!length) {
        return tl::unexpected(length.error());
    }
    ChunkCutter cutter(std::move(destination), writes, chunkBuffers, bufferBytes);
    cutter.m_source = std::move(*input);
    cutter.m_plan.emplace(*length, chunkBuffers, bufferBytes);
    cutter.m_copier = std::make_unique<RangeCopier>(writes);
    return cutter;
}

Expected<ChunkCutter> ChunkCutter::ofLog(logs::LogReader source, std::string destination,
                                         FileWritePort& writes, std::int32_t chunkBuffers,
                                         std::int32_t bufferBytes) {
    if (auto sizes = checkSizes(chunkBuffers, bufferBytes); !sizes) {
        return tl::unexpected(sizes.error());
    }
    ChunkCutter cutter(std::move(destination), writes, chunkBuffers, bufferBytes);
    cutter.m_reader = std::make_unique<logs::LogReader>(std::move(source));
    return cutter;
}

std::optional<std::int64_t> ChunkCutter::chunkCount() const {
    if (m_plan) {
        return m_plan->chunkCount();
    }
    return std::nullopt;
}

std::string ChunkCutter::chunkFile(std::int64_t number) const {
    return chunkFileName(m_destination, number);
}

Expected<bool> ChunkCutter::cutNext(const KeepGoing& keepGoing) {
    if (m_ended) {
        return false;
    }
    return m_reader ? cutFromLog(keepGoing) : cutFromFile(keepGoing);
}

Expected<bool> ChunkCutter::cutFromFile(const KeepGoing& keepGoing) {
    if (m_next >= m_plan->chunkCount()) {
        m_ended = true;
        return false;
    }
    const ByteRange range = m_plan->chunk(m_next);
    auto chunk = File::createEmpty(chunkFile(m_next));
    if (!chunk) {
        return tl::unexpected(chunk.error());
    }
    for (std::int64_t done = 0; done < range.length;) {
        const std::int64_t step = std::min(kBytesPerCheck, range.length - done);
        if (auto copied = m_copier->copy(*m_source, range.offset + done, step, *chunk); !copied) {
            return discardChunk(*chunk, copied.error());
        }
        done += step;
        if (done < range.length && !keepGoing()) {
            return discardChunk(*chunk, stopped());
        }
    }
    return closeChunk(*chunk);
}

Expected<bool> ChunkCutter::cutFromLog(const KeepGoing& keepGoing) {
    auto chunk = File::createEmpty(chunkFile(m_next));
    if (!chunk) {
        return tl::unexpected(chunk.error());
    }
    // A new chunk starts only for a whole buffer: the one read past the last chunk opens this.
    if (auto written = append(*chunk, m_carried); !written) {
        return discardChunk(*chunk, written.error());
    }
    std::int64_t inChunk = std::ssize(m_carried);
    m_carried.clear();
    for (;;) {
        if (m_pending.empty()) {
            if (m_sinceCheck >= kBytesPerCheck) {
                m_sinceCheck = 0;
                if (!keepGoing()) {
                    return discardChunk(*chunk, stopped());
                }
            }
            auto block = m_reader->nextBlock();
            if (!block) {
                return discardChunk(*chunk, block.error());
            }
            if (block->empty()) {
                // The tail shorter than a buffer joins the last chunk.
                if (auto written = append(*chunk, m_carried); !written) {
                    return discardChunk(*chunk, written.error());
                }
                m_carried.clear();
                m_ended = true;
                return closeChunk(*chunk);
            }
            m_pending = *block;
            m_sinceCheck += std::ssize(*block);
        }
        if (inChunk < m_chunkBytes) {
            const auto take = static_cast<std::size_t>(
                std::min<std::int64_t>(m_chunkBytes - inChunk, std::ssize(m_pending)));
            if (auto written = append(*chunk, m_pending.first(take)); !written) {
                return discardChunk(*chunk, written.error());
            }
            inChunk += static_cast<std::int64_t>(take);
            m_pending = m_pending.subspan(take);
            continue;
        }
        // Once a chunk is full the bytes after it wait here until a buffer is whole or the log
        // ends.
        const auto take =
            std::min(static_cast<std::size_t>(m_bufferBytes) - m_carried.size(), m_pending.size());
        m_carried.insert(m_carried.end(), m_pending.begin(),
                         m_pending.begin() + static_cast<std::ptrdiff_t>(take));
        m_pending = m_pending.subspan(take);
        if (m_carried.size() == static_cast<std::size_t>(m_bufferBytes)) {
            return closeChunk(*chunk);
        }
    }
}

Expected<void> ChunkCutter::append(File& chunk, std::span<const char> bytes) {
    return writeWhole(*m_writes, chunk, bytes);
}

Expected<bool> ChunkCutter::closeChunk(File& chunk) {
    // A close that fails can be the first word of written data that never reached the disk.
    if (auto closed = chunk.close(); !closed) {
        return discardChunk(chunk, closed.error());
    }
    ++m_next;
    return true;
}

tl::unexpected<Failure> ChunkCutter::discardChunk(File& chunk, Failure failure) {
    // The chunk goes either way, so a failing close adds nothing to the failure in hand.
    (void)chunk.close();
    (void)fs::RemoveEntry(chunkFile(m_next));
    return tl::unexpected(std::move(failure));
}

} // namespace trawlmeter::split
