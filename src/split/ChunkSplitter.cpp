#include "split/ChunkSplitter.h"

#include "platform/FileSystem.h"
#include "platform/Problem.h"
#include "split/ChunkNames.h"
#include "split/ChunkPlan.h"
#include "logs/LogReader.h"

#include <algorithm>
#include <vector>

namespace trawlmeter::split {
namespace {

// A few milliseconds of copying between two yields.
constexpr std::int64_t kBytesPerYield = 8 << 20;

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

Expected<std::int64_t> ChunkSplitter::split(const std::string& source, std::int32_t chunkBuffers,
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
    const ChunkPlan plan(*length, chunkBuffers, bufferBytes);
    for (std::int64_t number = 0; number < plan.chunkCount(); ++number) {
        const ByteRange range = plan.chunk(number);
        if (auto written = writeChunk(*input, number, range.offset, range.length); !written) {
            return giveUp(written.error(), number);
        }
        if (!m_yield()) {
            return tl::unexpected(stopped());
        }
    }
    return plan.chunkCount();
}

Expected<std::int64_t> ChunkSplitter::split(logs::LogReader& source, std::int32_t chunkBuffers,
                                            std::int32_t bufferBytes) {
    if (auto sizes = checkSizes(chunkBuffers, bufferBytes); !sizes) {
        return tl::unexpected(sizes.error());
    }
    const std::int64_t chunkBytes = static_cast<std::int64_t>(chunkBuffers) * bufferBytes;
    std::int64_t number = 0;
    auto chunk = startChunk(number);
    if (!chunk) {
        return giveUp(chunk.error(), 0);
    }
    std::int64_t inChunk = 0;
    std::int64_t sinceYield = 0;
    // Once a chunk is full a new one starts only for a whole buffer, so the bytes after it
    // wait here until a buffer is whole or the log ends.
    std::vector<char> waiting;
    for (;;) {
        auto block = source.nextBlock();
        if (!block) {
            return giveUp(block.error(), number + 1);
        }
        std::span<const char> bytes = *block;
        if (bytes.empty()) {
            break;
        }
        while (!bytes.empty()) {
            if (inChunk < chunkBytes) {
                const auto take = static_cast<std::size_t>(
                    std::min<std::int64_t>(chunkBytes - inChunk, std::ssize(bytes)));
                if (auto written = append(*chunk, bytes.first(take)); !written) {
                    return giveUp(written.error(), number + 1);
                }
                inChunk += static_cast<std::int64_t>(take);
                bytes = bytes.subspan(take);
                continue;
            }
            const auto take =
                std::min(static_cast<std::size_t>(bufferBytes) - waiting.size(), bytes.size());
            waiting.insert(waiting.end(), bytes.begin(),
                           bytes.begin() + static_cast<std::ptrdiff_t>(take));
            bytes = bytes.subspan(take);
            if (waiting.size() == static_cast<std::size_t>(bufferBytes)) {
                if (auto closed = closeChunk(*chunk); !closed) {
                    return giveUp(closed.error(), number + 1);
                }
                if (!m_yield()) {
                    return tl::unexpected(stopped());
                }
                chunk = startChunk(++number);
                if (!chunk) {
                    return giveUp(chunk.error(), number);
                }
                if (auto written = append(*chunk, waiting); !written) {
                    return giveUp(written.error(), number + 1);
                }
                inChunk = std::ssize(waiting);
                waiting.clear();
            }
        }
        sinceYield += std::ssize(*block);
        if (sinceYield >= kBytesPerYield) {
            sinceYield = 0;
            if (!m_yield()) {
                return discardChunk(*chunk, number, stopped());
            }
        }
    }
    // The tail shorter than a buffer joins the last chunk.
    if (auto written = append(*chunk, waiting); !written) {
        return giveUp(written.error(), number + 1);
    }
    if (auto closed = closeChunk(*chunk); !closed) {
        return giveUp(closed.error(), number + 1);
    }
    if (!m_yield()) {
        return tl::unexpected(stopped());
    }
    return number + 1;
}

Expected<void> ChunkSplitter::writeChunk(const File& source, std::int64_t number,
                                         std::int64_t offset, std::int64_t length) {
    auto chunk = startChunk(number);
    if (!chunk) {
        return tl::unexpected(chunk.error());
    }
    for (std::int64_t done = 0; done < length;) {
        const std::int64_t step = std::min(kBytesPerYield, length - done);
        if (auto copied = m_copier.copy(source, offset + done, step, *chunk); !copied) {
            return discardChunk(*chunk, number, copied.error());
        }
        done += step;
        if (done < length && !m_yield()) {
            return discardChunk(*chunk, number, stopped());
        }
    }
    if (auto closed = closeChunk(*chunk); !closed) {
        return discardChunk(*chunk, number, closed.error());
    }
    return {};
}

Expected<void> ChunkSplitter::closeChunk(File& chunk) {
    // A close that fails can be the first word of written data that never reached the disk.
    return chunk.close();
}

Expected<File> ChunkSplitter::startChunk(std::int64_t number) {
    return File::createEmpty(chunkFileName(m_destination, number));
}

Expected<void> ChunkSplitter::append(File& chunk, std::span<const char> bytes) {
    return writeWhole(m_writes, chunk, bytes);
}

tl::unexpected<Failure> ChunkSplitter::discardChunk(File& chunk, std::int64_t number,
                                                    Failure failure) {
    // The chunk goes either way, so a failing close adds nothing to the failure in hand.
    (void)chunk.close();
    (void)fs::RemoveEntry(chunkFileName(m_destination, number));
    return tl::unexpected(std::move(failure));
}

tl::unexpected<Failure> ChunkSplitter::giveUp(Failure failure, std::int64_t count) {
    if (failure.code != Problem::Stopped) {
        for (std::int64_t number = 0; number < count; ++number) {
            (void)fs::RemoveEntry(chunkFileName(m_destination, number));
        }
    }
    return tl::unexpected(std::move(failure));
}

} // namespace trawlmeter::split
