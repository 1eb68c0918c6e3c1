#include "analysis/CrawlerTokens.h"

#include <algorithm>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trawlmeter::analysis {
namespace {

constexpr int kNone = static_cast<int>(kCrawlerTokens.size());
// Setting this bit lower-cases an ASCII letter, and only a letter's two cases land on a
// lower-case letter, so comparing against the lower-case tokens stays exact.
constexpr unsigned char kCaseBit = 0x20;

// The token a lower-cased byte can start, or kNone. The tokens' first letters differ.
int tokenStartingWith(unsigned char lowered) {
    switch (lowered) {
    case 'b':
        return 0;
    case 'g':
        return 1;
    case 'y':
        return 2;
    case 's':
        return 3;
    case 'm':
        return 4;
    default:
        return kNone;
    }
}

bool tokenAt(const unsigned char* bytes, std::size_t size, std::size_t at, int token) {
    const auto wanted = kCrawlerTokens[static_cast<std::size_t>(token)];
    if (size - at < wanted.size()) {
        return false;
    }
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (static_cast<unsigned char>(bytes[at + i] | kCaseBit) !=
            static_cast<unsigned char>(wanted[i])) {
            return false;
        }
    }
    return true;
}

// The better of `best` and a token starting at `at`, if one does.
int checkCandidate(const unsigned char* bytes, std::size_t size, std::size_t at, int best) {
    const int token = tokenStartingWith(bytes[at] | kCaseBit);
    return token < best && tokenAt(bytes, size, at, token) ? token : best;
}

} // namespace

int findCrawlerToken(std::string_view item) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(item.data());
    const std::size_t size = item.size();
    int best = kNone;
    std::size_t at = 0;
#if defined(__SSE2__)
    // Sixteen positions at a time: a position is a candidate when its byte and the next one,
    // lower-cased, are the first two letters of a token ("ba", "go", "ya", "so", "ms").
    const __m128i caseBit = _mm_set1_epi8(static_cast<char>(kCaseBit));
    const __m128i b = _mm_set1_epi8('b'), g = _mm_set1_epi8('g'), y = _mm_set1_epi8('y');
    const __m128i s = _mm_set1_epi8('s'), m = _mm_set1_epi8('m');
    const __m128i a = _mm_set1_epi8('a'), o = _mm_set1_epi8('o');
    for (; at + 17 <= size; at += 16) {
        const __m128i first =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at)), caseBit);
        const __m128i second = _mm_or_si128(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at + 1)), caseBit);
        const __m128i beforeA = _mm_or_si128(_mm_cmpeq_epi8(first, b), _mm_cmpeq_epi8(first, y));
        const __m128i beforeO = _mm_or_si128(_mm_cmpeq_epi8(first, g), _mm_cmpeq_epi8(first, s));
        const __m128i pairs =
            _mm_or_si128(_mm_or_si128(_mm_and_si128(beforeA, _mm_cmpeq_epi8(second, a)),
                                      _mm_and_si128(beforeO, _mm_cmpeq_epi8(second, o))),
                         _mm_and_si128(_mm_cmpeq_epi8(first, m), _mm_cmpeq_epi8(second, s)));
        auto candidates = static_cast<unsigned>(_mm_movemask_epi8(pairs));
        while (candidates != 0) {
            best = checkCandidate(bytes, size,
                                  at + static_cast<std::size_t>(__builtin_ctz(candidates)), best);
            if (best == 0) {
                return 0;
            }
            candidates &= candidates - 1;
        }
    }
#endif
    for (; at < size; ++at) {
        best = checkCandidate(bytes, size, at, best);
        if (best == 0) {
            return 0;
        }
    }
    return best == kNone ? -1 : best;
}

int findCrawlerTokenPlainly(std::string_view item) {
    std::string lowered(item);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    });
    for (std::size_t token = 0; token < kCrawlerTokens.size(); ++token) {
        if (lowered.find(kCrawlerTokens[token]) != std::string::npos) {
            return static_cast<int>(token);
        }
    }
    return -1;
}

} // namespace trawlmeter::analysis
