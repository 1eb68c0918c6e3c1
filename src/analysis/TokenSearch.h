#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace trawlmeter::analysis {

// Finds which of a fixed list of lower-case ASCII tokens occurs first in test order in the
// ASCII-lower-cased text, without lower-casing a copy. A token must be at least two letters
// long (the search looks for its first two letters sixteen places at a time) and hold only
// lower-case letters, whose case bit makes the comparison exact.
class TokenSearch {
public:
    static constexpr std::size_t kMaxTokens = 8;

    // True when the search can find these tokens.
    static constexpr bool suits(const auto& tokens) {
        if (tokens.size() == 0 || tokens.size() > kMaxTokens) {
            return false;
        }
        for (const std::string_view token : tokens) {
            if (token.size() < 2) {
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

    // Bit i set when a token's first two letters start at position i of the sixteen from
    // `at`; the byte after them must be readable.
    std::uint32_t candidates(const char* at) const;
    // The same for thirty-two positions, where the processor has the instructions for it
    // (wideCandidatesAvailable()).
    std::uint32_t wideCandidates(const char* at) const;
    static bool wideCandidatesAvailable();
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
    // `wide` sweeps thirty-two places at a time, and needs wideCandidatesAvailable().
    explicit BlockTokenSearch(const TokenSearch& search,
                              bool wide = TokenSearch::wideCandidatesAvailable())
        : m_search(search), m_wide(wide) {}
    BlockTokenSearch(const BlockTokenSearch&) = delete;
    BlockTokenSearch& operator=(const BlockTokenSearch&) = delete;

    void setBlock(std::string_view block);
    // As TokenSearch::find. An item inside the block is found from the sweep; any other (a
    // line joined across blocks) is searched by itself.
    int find(std::string_view item);

private:
    std::size_t nextCandidate(std::size_t from);

    const TokenSearch& m_search;
    const bool m_wide;
    const std::size_t m_windowSize = m_wide ? 32 : 16;
    std::string_view m_block;
    // No token starts in [m_searchedFrom, m_next); one may start at m_next.
    std::size_t m_searchedFrom = 0;
    std::size_t m_next = 0;
    // The candidates of the window that held m_next, from m_window on.
    std::size_t m_window = 0;
    std::uint32_t m_windowMask = 0;
    bool m_windowValid = false;
};

} // namespace trawlmeter::analysis
