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

SplitFailure failureOfCopy(const CopyFailure& failure) {
    switch (failure.kind) {
    case CopyFailure::Kind::ReadFailed:
        return {SplitFailure::Kind::SourceUnreadable, failure.error.message()};
    case CopyFailure::Kind::SourceEnded:
        return {SplitFailure::Kind::SourceUnreadable,
                make_error_code(Problem::ShrankWhileRead).message()};
    case CopyFailure::Kind::WriteFailed:
        break;
    }
    return {SplitFailure::Kind::ChunkUnwritable, failure.error.message()};
}

tl::expected<void, SplitFailure> checkSizes(std::int32_t chunkBuffers, std::int32_t bufferBytes) {
    if (chunkBuffers <= 0 || bufferBytes <= 0) {
        return tl::unexpected(
            SplitFailure{SplitFailure::Kind::InvalidSizes,
                         std::make_error_code(std::errc::invalid_argument).message()});
    }
    return {};
}

const SplitFailure kStopped{SplitFailure::Kind::Stopped, {}};

} // namespace

tl::expected<std::int64_t, SplitFailure> ChunkSplitter::split(const std::string& source,
                                                              std::int32_t chunkBuffers,
                                                              std::int32_t bufferBytes) {
    if (auto sizes = checkSizes(chunkBuffers, bufferBytes); !sizes) {
        return tl::unexpected(sizes.error());
    }
    auto input = File::openRegularForReading(source);
    const auto length = input ? input->size() : tl::unexpected(input.error());
    if (!length) {
        return tl::unexpected(
            SplitFailure{SplitFailure::Kind::SourceUnreadable, length.error().code.message()});
    }
    const ChunkPlan plan(*length, chunkBuffers, bufferBytes);
    for (std::int64_t number = 0; number < plan.chunkCount(); ++number) {
        const ByteRange range = plan.chunk(number);
        if (auto written = writeChunk(*input, number, range.offset, range.length); !written) {
            return giveUp(written.error(), number);
        }
        if (!m_yield()) {
            return tl::unexpected(kStopped);
        }
    }
    return plan.chunkCount();
}

tl::expected<std::int64_t, SplitFailure>
ChunkSplitter::split(logs::LogReader& source, std::int32_t chunkBuffers, std::int32_t bufferBytes) {
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
            return giveUp({SplitFailure::Kind::SourceUnreadable, block.error().reason}, number + 1);
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
                    return tl::unexpected(kStopped);
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
                return discardChunk(*chunk, number, kStopped);
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
        return tl::unexpected(kStopped);
    }
    return number + 1;
}

tl::expected<void, SplitFailure> ChunkSplitter::writeChunk(const File& source, std::int64_t number,
                                                           std::int64_t offset,
                                                           std::int64_t length) {
    auto chunk = startChunk(number);
    if (!chunk) {
        return tl::unexpected(chunk.error());
    }
    for (std::int64_t done = 0; done < length;) {
        const std::int64_t step = std::min(kBytesPerYield, length - done);
        if (auto copied = m_copier.copy(source, offset + done, step, *chunk); !copied) {
            return discardChunk(*chunk, number, failureOfCopy(copied.error()));
        }
        done += step;
        if (done < length && !m_yield()) {
            return discardChunk(*chunk, number, kStopped);
        }
    }
    if (auto closed = closeChunk(*chunk); !closed) {
        return discardChunk(*chunk, number, closed.error());
    }
    return {};
}

tl::expected<void, SplitFailure> ChunkSplitter::closeChunk(File& chunk) {
    // A close that fails can be the first word of written data that never reached the disk.
    if (auto closed = chunk.close(); !closed) {
        return tl::unexpected(
            SplitFailure{SplitFailure::Kind::ChunkUnwritable, closed.error().code.message()});
    }
    return {};
}

tl::expected<File, SplitFailure> ChunkSplitter::startChunk(std::int64_t number) {
    auto chunk = File::createEmpty(chunkFileName(m_destination, number));
    if (!chunk) {
        return tl::unexpected(
            SplitFailure{SplitFailure::Kind::ChunkUnwritable, chunk.error().code.message()});
    }
    return std::move(*chunk);
}

tl::expected<void, SplitFailure> ChunkSplitter::append(File& chunk, std::span<const char> bytes) {
    if (auto written = writeWhole(m_writes, chunk, bytes); !written) {
        return tl::unexpected(
            SplitFailure{SplitFailure::Kind::ChunkUnwritable, written.error().code.message()});
    }
    return {};
}

tl::unexpected<SplitFailure> ChunkSplitter::discardChunk(File& chunk, std::int64_t number,
                                                         SplitFailure failure) {
    // The chunk goes either way, so a failing close adds nothing to the failure in hand.
    (void)chunk.close();
    (void)fs::RemoveEntry(chunkFileName(m_destination, number));
    return tl::unexpected(std::move(failure));
}

tl::unexpected<SplitFailure> ChunkSplitter::giveUp(SplitFailure failure, std::int64_t count) {
    if (failure.kind != SplitFailure::Kind::Stopped) {
        for (std::int64_t number = 0; number < count; ++number) {
            (void)fs::RemoveEntry(chunkFileName(m_destination, number));
        }
    }
    return tl::unexpected(std::move(failure));
}

} // namespace trawlmeter::split
