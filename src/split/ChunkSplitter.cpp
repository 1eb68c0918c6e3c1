#include "split/ChunkSplitter.h"

#include "split/ChunkFiles.h"
#include "split/ChunkNames.h"
#include "split/ChunkPlan.h"

#include <algorithm>
#include <unistd.h>

namespace trawlmeter::split {
namespace {

// A few milliseconds of copying between two yields.
constexpr std::int64_t kBytesPerYield = 8 << 20;

} // namespace

SplitOutcome ChunkSplitter::split(const std::string& source, std::int32_t chunkBuffers,
                                  std::int32_t bufferBytes) {
    if (chunkBuffers <= 0 || bufferBytes <= 0) {
        return SplitOutcome::InvalidSizes;
    }
    auto input = openSourceFile(source);
    if (!input) {
        return SplitOutcome::SourceUnreadable;
    }
    const ChunkPlan plan(input->length, chunkBuffers, bufferBytes);
    for (std::int64_t number = 0; number < plan.chunkCount(); ++number) {
        const ByteRange range = plan.chunk(number);
        switch (writeChunk(input->file.fd(), number, range.offset, range.length)) {
        case ChunkOutcome::Written:
            noteWritten(number);
            break;
        case ChunkOutcome::NotWritten:
            break;
        case ChunkOutcome::ReadFailed:
            removeWrittenChunks();
            return SplitOutcome::ReadFailed;
        case ChunkOutcome::Stopped:
            return SplitOutcome::Stopped;
        }
        if (!m_yield()) {
            return SplitOutcome::Stopped;
        }
    }
    return SplitOutcome::Split;
}

ChunkSplitter::ChunkOutcome ChunkSplitter::writeChunk(int source, std::int64_t number,
                                                      std::int64_t offset, std::int64_t length) {
    const std::string name = chunkFileName(m_destination, number);
    auto chunk = createChunkFile(name);
    if (!chunk) {
        return ChunkOutcome::NotWritten;
    }
    auto dropChunk = [&](ChunkOutcome outcome) {
        chunk->close();
        ::unlink(name.c_str());
        return outcome;
    };
    for (std::int64_t done = 0; done < length;) {
        const std::int64_t step = std::min(kBytesPerYield, length - done);
        switch (m_copier.copy(source, offset + done, step, chunk->fd())) {
        case CopyResult::Copied:
            break;
        case CopyResult::ReadFailed:
            return dropChunk(ChunkOutcome::ReadFailed);
        case CopyResult::WriteFailed:
            return dropChunk(ChunkOutcome::NotWritten);
        }
        done += step;
        if (done < length && !m_yield()) {
            return dropChunk(ChunkOutcome::Stopped);
        }
    }
    if (!chunk->close()) {
        return dropChunk(ChunkOutcome::NotWritten);
    }
    return ChunkOutcome::Written;
}

void ChunkSplitter::noteWritten(std::int64_t number) {
    if (!m_written.empty() && m_written.back().second == number) {
        m_written.back().second = number + 1;
    } else {
        m_written.emplace_back(number, number + 1);
    }
}

void ChunkSplitter::removeWrittenChunks() {
    for (const auto& [first, last] : m_written) {
        for (std::int64_t number = first; number < last; ++number) {
            ::unlink(chunkFileName(m_destination, number).c_str());
        }
    }
    m_written.clear();
}

} // namespace trawlmeter::split
