#pragma once

#include <array>
#include <cstddef>
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
    std::string_view token(std::size_t index) const { return m_tokens[index]; }

    // The position of the first token in test order that occurs anywhere in `text`, or -1.
    int find(std::string_view text) const;
    // The same answer by the plain route (lower-case a copy, search each token in turn); the
    // reference the fast search is held to.
    int findPlainly(std::string_view text) const;

private:
    std::array<std::string_view, kMaxTokens> m_tokens{};
    std::size_t m_count;
};

} // namespace trawlmeter::analysis
