#include "split/ChunkSplitter.h"

#include "platform/FileSystem.h"
#include "platform/Problem.h"

namespace trawlmeter::split {

Expected<std::int64_t> ChunkSplitter::split(ChunkCutter& cutter) {
    for (;;) {
        auto cut = cutter.cutNext(m_yield);
        if (!cut) {
            if (cut.error().code != Problem::Stopped) {
                for (std::int64_t number = 0; number < cutter.chunksCut(); ++number) {
                    (void)fs::RemoveEntry(cutter.chunkFile(number));
                }
            }
            return tl::unexpected(cut.error());
        }
        if (!*cut) {
            return cutter.chunksCut();
        }
        if (!m_yield()) {
            return fail(Problem::Stopped);
        }
    }
}

} // namespace trawlmeter::split
