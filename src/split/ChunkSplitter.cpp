#include "split/ChunkSplitter.h"

#include "platform/FileProblems.h"
#include "split/ChunkFiles.h"
#include "split/ChunkNames.h"
#include "split/ChunkPlan.h"

#include <algorithm>
#include <unistd.h>

namespace trawlmeter::split {
namespace {

// A few milliseconds of copying between two yields.
constexpr std::int64_t kBytesPerYield = 8 << 20;

SplitFailure failureOfCopy(const CopyFailure& failure) {
    switch (failure.kind) {
    case CopyFailure::Kind::ReadFailed:
        return {SplitFailure::Kind::SourceUnreadable, failure.error};
    case CopyFailure::Kind::SourceEnded:
        return {SplitFailure::Kind::SourceUnreadable, FileProblem::ShrankWhileRead};
    case CopyFailure::Kind::WriteFailed:
        break;
    }
    return {SplitFailure::Kind::ChunkUnwritable, failure.error};
}

} // namespace

tl::expected<std::int64_t, SplitFailure> ChunkSplitter::split(const std::string& source,
                                                              std::int32_t chunkBuffers,
                                                              std::int32_t bufferBytes) {
    if (chunkBuffers <= 0 || bufferBytes <= 0) {
        return tl::unexpected(SplitFailure{SplitFailure::Kind::InvalidSizes,
                                           std::make_error_code(std::errc::invalid_argument)});
    }
    auto input = openSourceFile(source);
    if (!input) {
        return tl::unexpected(SplitFailure{SplitFailure::Kind::SourceUnreadable, input.error()});
    }
    const ChunkPlan plan(input->length, chunkBuffers, bufferBytes);
    for (std::int64_t number = 0; number < plan.chunkCount(); ++number) {
        const ByteRange range = plan.chunk(number);
        if (auto written = writeChunk(input->file.fd(), number, range.offset, range.length);
            !written) {
            if (written.error().kind != SplitFailure::Kind::Stopped) {
                removeChunks(number);
            }
            return tl::unexpected(written.error());
        }
        if (!m_yield()) {
            return tl::unexpected(SplitFailure{SplitFailure::Kind::Stopped, {}});
        }
    }
    return plan.chunkCount();
}

tl::expected<void, SplitFailure> ChunkSplitter::writeChunk(int source, std::int64_t number,
                                                           std::int64_t offset,
                                                           std::int64_t length) {
    const std::string name = chunkFileName(m_destination, number);
    auto chunk = createChunkFile(name);
    if (!chunk) {
        return tl::unexpected(SplitFailure{SplitFailure::Kind::ChunkUnwritable, chunk.error()});
    }
    auto dropChunk = [&](SplitFailure failure) {
        chunk->close();
        ::unlink(name.c_str());
        return tl::unexpected(failure);
    };
    for (std::int64_t done = 0; done < length;) {
        const std::int64_t step = std::min(kBytesPerYield, length - done);
        if (auto copied = m_copier.copy(source, offset + done, step, chunk->fd()); !copied) {
            return dropChunk(failureOfCopy(copied.error()));
        }
        done += step;
        if (done < length && !m_yield()) {
            return dropChunk({SplitFailure::Kind::Stopped, {}});
        }
    }
    if (!chunk->close()) {
        return dropChunk({SplitFailure::Kind::ChunkUnwritable, {errno, std::generic_category()}});
    }
    return {};
}

void ChunkSplitter::removeChunks(std::int64_t count) {
    for (std::int64_t number = 0; number < count; ++number) {
        ::unlink(chunkFileName(m_destination, number).c_str());
    }
}

} // namespace trawlmeter::split
