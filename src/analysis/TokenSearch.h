#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace trawlmeter::analysis {

// Finds which of a fixed list of lower-case ASCII tokens occurs first in test order in the
// ASCII-lower-cased text, without lower-casing a copy. A token must be at least three letters
// long (the search looks for its first three letters many places at a time) and hold only
// lower-case letters, whose case bit makes the comparison exact.
class TokenSearch {
public:
    static constexpr std::size_t kMaxTokens = 8;
    static constexpr std::size_t kMinTokenSize = 3;

    // True when the search can find these tokens.
    static constexpr bool suits(const auto& tokens) {
        if (tokens.size() == 0 || tokens.size() > kMaxTokens) {
            return false;
        }
        for (const std::string_view token : tokens) {
            if (token.size() < kMinTokenSize) {
                return false;
            }
            for (const char c : token) {
                if (c < 'a' || c > 'z') {
                    return false;
                }
            }
        }
        return true;
    }

    // `tokens` must suit the search and outlive it.
    constexpr explicit TokenSearch(const auto& tokens) : m_count(tokens.size()) {
        for (std::size_t i = 0; i < m_count; ++i) {
            m_tokens[i] = tokens[i];
        }
    }

    std::size_t size() const { return m_count; }

    // The position of the first token in test order that occurs anywhere in `text`, or -1.
    int find(std::string_view text) const;
    // The same answer by the plain route (lower-case a copy, search each token in turn); the
    // reference the fast searches are held to.
    int findPlainly(std::string_view text) const;

    // How many places one step of a sweep looks at: 16, or 32 where the processor has the
    // instructions for it.
    enum class Width : std::size_t { Narrow = 16, Wide = 32 };
    static bool available(Width width);
    static Width widestAvailable();
    // A step of a sweep: its first place and its candidates, bit i set when a token's first
    // three letters start at place at + i.
    struct Step {
        std::size_t at;
        std::uint64_t candidates;
    };
    // The first step from `from` on, steps `width` places apart, that holds a candidate, while
    // the step's bytes (two more than its places) lie within `size`; when none does, the first
    // step that no longer fits, with no candidates. `width` must be available.
    Step sweep(Width width, const char* data, std::size_t from, std::size_t size) const;

    // The best of the tokens before `best` in test order that starts at `at` of `text`.
    int bestAt(std::string_view text, std::size_t at, int best) const;

private:
    std::array<std::string_view, kMaxTokens> m_tokens{};
    std::size_t m_count;
};

// The same search over the lines of one block, sweeping the block once for places where a
// token may start instead of searching every line from its first byte: most lines hold none,
// and a line that ends before the next such place is done without a look at its bytes.
class BlockTokenSearch {
public:
    // `width` must be available.
    explicit BlockTokenSearch(const TokenSearch& search,
                              TokenSearch::Width width = TokenSearch::widestAvailable())
        : m_search(search), m_width(width) {}
    BlockTokenSearch(const BlockTokenSearch&) = delete;
    BlockTokenSearch& operator=(const BlockTokenSearch&) = delete;

    void setBlock(std::string_view block);
    // As TokenSearch::find. An item inside the block is found from the sweep; any other (a
    // line joined across blocks) is searched by itself.
    int find(std::string_view item);

private:
    std::size_t nextCandidate(std::size_t from);

    const TokenSearch& m_search;
    const TokenSearch::Width m_width;
    const std::size_t m_windowSize = static_cast<std::size_t>(m_width);
    std::string_view m_block;
    // No token starts in [m_searchedFrom, m_next); one may start at m_next.
    std::size_t m_searchedFrom = 0;
    std::size_t m_next = 0;
    // The candidates of the window that held m_next, from m_window on.
    std::size_t m_window = 0;
    std::uint64_t m_windowMask = 0;
    bool m_windowValid = false;
};

} // namespace trawlmeter::analysis
