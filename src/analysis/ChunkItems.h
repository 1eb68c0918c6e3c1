#pragma once

#include "analysis/LineSplitter.h"
#include "analysis/TokenSearch.h"
#include "platform/Failure.h"
#include "platform/File.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trawlmeter::analysis {

enum class ChunkScanEnd { Read, Stopped };

// An item and the token it holds first in test order, or -1.
struct Item {
    std::string_view text;
    int token;
};

// The items of the chunk files of one log, read chunk after chunk, each with its token. The
// unfinished line at the end of a chunk is held, so the next chunk continues it; finish() ends
// the log.
class ChunkItems {
public:
    // `tokens` must outlive the object.
    explicit ChunkItems(const TokenSearch& tokens) : m_tokens(tokens), m_blockTokens(tokens) {}

    // Reads the chunk at `path` block by block and hands each Item to `onItem`, which returns
    // false to stop. A chunk that cannot be opened or read ends the scan at once with what was
    // read so far handed out, and with the reason.
    template <typename OnItem>
    [[nodiscard]] Expected<ChunkScanEnd> scan(const std::string& path, OnItem&& onItem) {
        auto chunk = File::openForReading(path);
        if (!chunk) {
            return tl::unexpected(chunk.error());
        }
        m_block.resize(kBlockSize);
        for (;;) {
            const auto got = chunk->read(m_block);
            if (!got) {
                return tl::unexpected(got.error());
            }
            if (*got == 0) {
                return ChunkScanEnd::Read;
            }
            const std::string_view block(m_block.data(), *got);
            m_lines.setBlock(block);
            m_blockTokens.setBlock(block);
            while (const auto item = m_lines.next()) {
                if (!onItem(Item{*item, m_blockTokens.find(*item)})) {
                    m_lines.reset();
                    return ChunkScanEnd::Stopped;
                }
            }
        }
    }

    // Ends the log: the held unfinished line becomes its last item. Nothing when the log
    // ended at a line end. The item is valid until the next call.
    std::optional<Item> finish() {
        const auto item = m_lines.finish();
        if (!item) {
            return std::nullopt;
        }
        return Item{*item, m_tokens.find(*item)};
    }
    // Forgets a held line, as when the rest of the log will never come.
    void reset() { m_lines.reset(); }

private:
    // Large enough that reading costs next to nothing per line, small enough to stay cheap.
    static constexpr std::size_t kBlockSize = std::size_t{1} << 20;

    const TokenSearch& m_tokens;
    BlockTokenSearch m_blockTokens;
    LineSplitter m_lines;
    std::vector<char> m_block;
};

} // namespace trawlmeter::analysis
