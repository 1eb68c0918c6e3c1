#include "analysis/TokenSearch.h"

#include <algorithm>
#include <string>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace trawlmeter::analysis {
namespace {

// Setting this bit lower-cases an ASCII letter, and only a letter's two cases land on a
// lower-case letter, so comparing against the lower-case tokens stays exact.
constexpr unsigned char kCaseBit = 0x20;
// The sixteen positions a candidate mask covers, and the bytes it reads for them.
constexpr std::size_t kWindow = 16;
constexpr std::size_t kWindowBytes = kWindow + 1;

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

std::uint32_t TokenSearch::candidates(const char* at) const {
#if defined(__x86_64__)
    const __m128i caseBit = _mm_set1_epi8(static_cast<char>(kCaseBit));
    const __m128i first =
        _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), caseBit);
    const __m128i second =
        _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1)), caseBit);
    __m128i pairs = _mm_setzero_si128();
    for (std::size_t i = 0; i < m_count; ++i) {
        pairs = _mm_or_si128(pairs, _mm_and_si128(_mm_cmpeq_epi8(first, _mm_set1_epi8(m_tokens[i][0])),
                                                  _mm_cmpeq_epi8(second, _mm_set1_epi8(m_tokens[i][1]))));
    }
    return static_cast<std::uint32_t>(_mm_movemask_epi8(pairs));
#else
    std::uint32_t mask = 0;
    for (std::size_t bit = 0; bit < kWindow; ++bit) {
        const auto a = static_cast<unsigned char>(at[bit] | kCaseBit);
        const auto b = static_cast<unsigned char>(at[bit + 1] | kCaseBit);
        for (std::size_t i = 0; i < m_count; ++i) {
            if (a == static_cast<unsigned char>(m_tokens[i][0]) &&
                b == static_cast<unsigned char>(m_tokens[i][1])) {
                mask |= 1u << bit;
            }
        }
    }
    return mask;
#endif
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) std::uint32_t TokenSearch::wideCandidates(const char* at) const {
    const __m256i caseBit = _mm256_set1_epi8(static_cast<char>(kCaseBit));
    const __m256i first =
        _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)), caseBit);
    const __m256i second =
        _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 1)), caseBit);
    __m256i pairs = _mm256_setzero_si256();
    for (std::size_t i = 0; i < m_count; ++i) {
        pairs = _mm256_or_si256(
            pairs, _mm256_and_si256(_mm256_cmpeq_epi8(first, _mm256_set1_epi8(m_tokens[i][0])),
                                    _mm256_cmpeq_epi8(second, _mm256_set1_epi8(m_tokens[i][1]))));
    }
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(pairs));
}

bool TokenSearch::wideCandidatesAvailable() {
    return __builtin_cpu_supports("avx2");
}
#else
std::uint32_t TokenSearch::wideCandidates(const char* at) const {
    return candidates(at) | candidates(at + 16) << 16;
}

bool TokenSearch::wideCandidatesAvailable() {
    return false;
}
#endif

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
    for (; at + kWindowBytes <= text.size(); at += kWindow) {
        for (auto mask = candidates(text.data() + at); mask != 0; mask &= mask - 1) {
            best = bestAt(text, at + static_cast<std::size_t>(__builtin_ctz(mask)), best);
            if (best == 0) {
                return 0;
            }
        }
    }
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
        const std::uint32_t later = m_windowMask & (~0u << (from - m_window));
        if (later != 0) {
            return m_next = m_window + static_cast<std::size_t>(__builtin_ctz(later));
        }
        from = m_window + m_windowSize;
    }
    for (; from + m_windowSize + 1 <= m_block.size(); from += m_windowSize) {
        const std::uint32_t mask = m_wide ? m_search.wideCandidates(m_block.data() + from)
                                          : m_search.candidates(m_block.data() + from);
        if (mask != 0) {
            m_window = from;
            m_windowMask = mask;
            m_windowValid = true;
            return m_next = from + static_cast<std::size_t>(__builtin_ctz(mask));
        }
    }
    // The last bytes of the block are each looked at.
    m_windowValid = false;
    return m_next = std::min(from, m_block.size());
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
