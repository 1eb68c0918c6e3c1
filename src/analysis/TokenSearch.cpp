#include "analysis/TokenSearch.h"

#include <algorithm>
#include <span>
#include <string>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace trawlmeter::analysis {
namespace {

// Setting this bit lower-cases an ASCII letter, and only a letter's two cases land on a
// lower-case letter, so comparing against the lower-case tokens stays exact.
constexpr unsigned char kCaseBit = 0x20;
// How many of a token's first letters a candidate matches.
constexpr std::size_t kPrefix = TokenSearch::kMinTokenSize;
// The sixteen positions a candidate mask covers, and the bytes it reads for them.
constexpr std::size_t kWindow = 16;
constexpr std::size_t kWindowBytes = kWindow + kPrefix - 1;

bool tokenAt(std::string_view text, std::size_t at, std::string_view token) {
    if (text.size() - at < token.size()) {
        return false;
    }
    for (std::size_t i = 0; i < token.size(); ++i) {
        if (static_cast<unsigned char>(text[at + i] | kCaseBit) !=
            static_cast<unsigned char>(token[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

#if defined(__x86_64__)
namespace {

// One sweep per instruction set, each holding the tokens' first three letters in registers for
// the whole sweep; each step compares its places, and the places one and two further, with them.

TokenSearch::Step sweepNarrow(std::span<const std::string_view> tokens, const char* data,
                              std::size_t from, std::size_t size) {
    __m128i letters[kPrefix][TokenSearch::kMaxTokens]{};
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        for (std::size_t k = 0; k < kPrefix; ++k) {
            letters[k][i] = _mm_set1_epi8(tokens[i][k]);
        }
    }
    const __m128i caseBit = _mm_set1_epi8(static_cast<char>(kCaseBit));
    for (; from + kWindowBytes <= size; from += kWindow) {
        __m128i at[kPrefix];
        for (std::size_t k = 0; k < kPrefix; ++k) {
            at[k] = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + from + k)),
                                 caseBit);
        }
        __m128i found = _mm_setzero_si128();
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            found = _mm_or_si128(found,
                                 _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(at[0], letters[0][i]),
                                                             _mm_cmpeq_epi8(at[1], letters[1][i])),
                                               _mm_cmpeq_epi8(at[2], letters[2][i])));
        }
        if (const int mask = _mm_movemask_epi8(found); mask != 0) {
            return {from, static_cast<std::uint32_t>(mask)};
        }
    }
    return {from, 0};
}

__attribute__((target("avx2"))) TokenSearch::Step
sweepWide(std::span<const std::string_view> tokens, const char* data, std::size_t from,
          std::size_t size) {
    __m256i letters[kPrefix][TokenSearch::kMaxTokens]{};
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        for (std::size_t k = 0; k < kPrefix; ++k) {
            letters[k][i] = _mm256_set1_epi8(tokens[i][k]);
        }
    }
    const __m256i caseBit = _mm256_set1_epi8(static_cast<char>(kCaseBit));
    for (; from + 32 + kPrefix - 1 <= size; from += 32) {
        __m256i at[kPrefix];
        for (std::size_t k = 0; k < kPrefix; ++k) {
            at[k] = _mm256_or_si256(
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + from + k)), caseBit);
        }
        __m256i found = _mm256_setzero_si256();
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            found = _mm256_or_si256(
                found, _mm256_and_si256(_mm256_and_si256(_mm256_cmpeq_epi8(at[0], letters[0][i]),
                                                         _mm256_cmpeq_epi8(at[1], letters[1][i])),
                                        _mm256_cmpeq_epi8(at[2], letters[2][i])));
        }
        if (const int mask = _mm256_movemask_epi8(found); mask != 0) {
            return {from, static_cast<std::uint32_t>(mask)};
        }
    }
    return {from, 0};
}

} // namespace

bool TokenSearch::available(Width width) {
    switch (width) {
    case Width::Narrow:
        return true;
    case Width::Wide:
        return __builtin_cpu_supports("avx2");
    }
    return false;
}

TokenSearch::Step TokenSearch::sweep(Width width, const char* data, std::size_t from,
                                     std::size_t size) const {
    const std::span<const std::string_view> tokens(m_tokens.data(), m_count);
    switch (width) {
    case Width::Wide:
        return sweepWide(tokens, data, from, size);
    case Width::Narrow:
        break;
    }
    return sweepNarrow(tokens, data, from, size);
}
#else
bool TokenSearch::available(Width width) {
    return width == Width::Narrow;
}

TokenSearch::Step TokenSearch::sweep(Width, const char* data, std::size_t from,
                                     std::size_t size) const {
    for (; from + kWindowBytes <= size; from += kWindow) {
        std::uint32_t mask = 0;
        for (std::size_t bit = 0; bit < kWindow; ++bit) {
            for (std::size_t i = 0; i < m_count; ++i) {
                if (tokenAt(std::string_view(data + from + bit, kPrefix), 0,
                            m_tokens[i].substr(0, kPrefix))) {
                    mask |= 1u << bit;
                }
            }
        }
        if (mask != 0) {
            return {from, mask};
        }
    }
    return {from, 0};
}
#endif

TokenSearch::Width TokenSearch::widestAvailable() {
    return available(Width::Wide) ? Width::Wide : Width::Narrow;
}

int TokenSearch::bestAt(std::string_view text, std::size_t at, int best) const {
    for (int token = 0; token < best; ++token) {
        if (tokenAt(text, at, m_tokens[static_cast<std::size_t>(token)])) {
            return token;
        }
    }
    return best;
}

int TokenSearch::find(std::string_view text) const {
    const int none = static_cast<int>(m_count);
    int best = none;
    std::size_t at = 0;
    for (;;) {
        const Step step = sweep(Width::Narrow, text.data(), at, text.size());
        at = step.at;
        if (step.candidates == 0) {
            break;
        }
        for (auto mask = step.candidates; mask != 0; mask &= mask - 1) {
            best = bestAt(text, at + static_cast<std::size_t>(__builtin_ctzll(mask)), best);
            if (best == 0) {
                return 0;
            }
        }
        at += kWindow;
    }
    // The last bytes, too few for a step, are each looked at.
    for (; at < text.size() && best != 0; ++at) {
        best = bestAt(text, at, best);
    }
    return best == none ? -1 : best;
}

int TokenSearch::findPlainly(std::string_view text) const {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    });
    for (std::size_t token = 0; token < m_count; ++token) {
        if (lowered.find(m_tokens[token]) != std::string::npos) {
            return static_cast<int>(token);
        }
    }
    return -1;
}

void BlockTokenSearch::setBlock(std::string_view block) {
    m_block = block;
    m_searchedFrom = 0;
    m_next = 0;
    m_windowValid = false;
}

std::size_t BlockTokenSearch::nextCandidate(std::size_t from) {
    if (from >= m_searchedFrom && from <= m_next) {
        return m_next;
    }
    m_searchedFrom = from;
    // A later candidate of the window that held the last one.
    if (m_windowValid && from > m_window && from < m_window + m_windowSize) {
        const std::uint64_t later = m_windowMask & (~std::uint64_t{0} << (from - m_window));
        if (later != 0) {
            return m_next = m_window + static_cast<std::size_t>(__builtin_ctzll(later));
        }
        from = m_window + m_windowSize;
    }
    const auto step = m_search.sweep(m_width, m_block.data(), from, m_block.size());
    if (step.candidates != 0) {
        m_window = step.at;
        m_windowMask = step.candidates;
        m_windowValid = true;
        return m_next = step.at + static_cast<std::size_t>(__builtin_ctzll(step.candidates));
    }
    // The last bytes of the block are each looked at.
    m_windowValid = false;
    return m_next = std::min(step.at, m_block.size());
}

int BlockTokenSearch::find(std::string_view item) {
    const char* blockStart = m_block.data();
    if (item.empty() || item.data() < blockStart ||
        item.data() + item.size() > blockStart + m_block.size()) {
        return m_search.find(item);
    }
    const auto start = static_cast<std::size_t>(item.data() - blockStart);
    const std::size_t end = start + item.size();
    const int none = static_cast<int>(m_search.size());
    int best = none;
    for (std::size_t at = nextCandidate(start); at < end && best != 0; at = nextCandidate(at + 1)) {
        best = m_search.bestAt(item, at - start, best);
    }
    return best == none ? -1 : best;
}

} // namespace trawlmeter::analysis
