#include "analysis/TokenSearch.h"

#include <algorithm>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trawlmeter::analysis {
namespace {

// Setting this bit lower-cases an ASCII letter, and only a letter's two cases land on a
// lower-case letter, so comparing against the lower-case tokens stays exact.
constexpr unsigned char kCaseBit = 0x20;

bool tokenAt(const unsigned char* bytes, std::size_t size, std::size_t at, std::string_view token) {
    if (size - at < token.size()) {
        return false;
    }
    for (std::size_t i = 0; i < token.size(); ++i) {
        if (static_cast<unsigned char>(bytes[at + i] | kCaseBit) !=
            static_cast<unsigned char>(token[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

int TokenSearch::find(std::string_view text) const {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    const int none = static_cast<int>(m_count);
    int best = none;
    // The better of `best` and a token starting at `at`; only tokens earlier in test order
    // than the best so far are worth a look.
    const auto checkAt = [&](std::size_t at) {
        for (int token = 0; token < best; ++token) {
            if (tokenAt(bytes, size, at, m_tokens[static_cast<std::size_t>(token)])) {
                best = token;
                return;
            }
        }
    };
    std::size_t at = 0;
#if defined(__SSE2__)
    // Sixteen positions at a time: a position is a candidate when its byte and the next one,
    // lower-cased, are the first two letters of some token.
    const __m128i caseBit = _mm_set1_epi8(static_cast<char>(kCaseBit));
    __m128i firsts[kMaxTokens];
    __m128i seconds[kMaxTokens];
    for (std::size_t i = 0; i < m_count; ++i) {
        firsts[i] = _mm_set1_epi8(m_tokens[i][0]);
        seconds[i] = _mm_set1_epi8(m_tokens[i][1]);
    }
    for (; at + 17 <= size; at += 16) {
        const __m128i first =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at)), caseBit);
        const __m128i second = _mm_or_si128(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at + 1)), caseBit);
        __m128i pairs = _mm_setzero_si128();
        for (std::size_t i = 0; i < m_count; ++i) {
            pairs = _mm_or_si128(pairs, _mm_and_si128(_mm_cmpeq_epi8(first, firsts[i]),
                                                      _mm_cmpeq_epi8(second, seconds[i])));
        }
        auto candidates = static_cast<unsigned>(_mm_movemask_epi8(pairs));
        while (candidates != 0) {
            checkAt(at + static_cast<std::size_t>(__builtin_ctz(candidates)));
            if (best == 0) {
                return 0;
            }
            candidates &= candidates - 1;
        }
    }
#endif
    for (; at < size && best != 0; ++at) {
        checkAt(at);
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

} // namespace trawlmeter::analysis
