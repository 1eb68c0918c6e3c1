#include "app/CrawlerEngines.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace trawlmeter {
namespace {

// Bytes that make near misses likely: the tokens' letters in both cases, and bytes whose
// case bit would turn them into letters if the comparison were careless.
constexpr std::string_view kAlphabet =
    "baiduspidergoglebtyhsnmBAIDUSPIDERGOGLEBTYHSNM@[`{ \xc2\xe2";

std::string randomItem(std::mt19937& engine) {
    std::string item(engine() % 90, ' ');
    for (char& c : item) {
        c = kAlphabet[engine() % kAlphabet.size()];
    }
    // Now and then a whole token, at any offset, so the 16-byte steps are crossed.
    if (engine() % 3 == 0) {
        auto token = std::string(kCrawlerTokens[engine() % kCrawlerTokens.size()]);
        if (engine() % 2 == 0) {
            token[engine() % token.size()] ^= 0x20;
        }
        const auto at = item.empty() ? 0 : engine() % item.size();
        item.insert(at, token);
    }
    // A cut-off token at the very end.
    if (engine() % 5 == 0) {
        item += std::string(kCrawlerTokens[engine() % kCrawlerTokens.size()]).substr(0, 2);
    }
    return item;
}

TEST(CrawlerTokenSearch, TheFastSearchAgreesWithThePlainOne) {
    std::mt19937 engine(7);
    int found = 0;
    for (int round = 0; round < 200000; ++round) {
        const auto item = randomItem(engine);
        const int expected = kCrawlerTokenSearch.findPlainly(item);
        ASSERT_EQ(kCrawlerTokenSearch.find(item), expected) << "item \"" << item << "\"";
        found += expected >= 0;
    }
    // The draw must exercise both answers.
    EXPECT_GT(found, 20000);
    EXPECT_LT(found, 180000);
}

TEST(CrawlerTokenSearch, FindsATokenAtEveryOffsetOfALongItem) {
    for (std::size_t at = 0; at < 40; ++at) {
        for (int token = 0; token < 5; ++token) {
            std::string item(at, '-');
            item += kCrawlerTokens[static_cast<std::size_t>(token)];
            item += std::string(at % 7, '-');
            EXPECT_EQ(kCrawlerTokenSearch.find(item), token) << item;
            item.pop_back();
            if (at % 7 == 0) {
                EXPECT_EQ(kCrawlerTokenSearch.find(item), -1) << item;
            }
        }
    }
}

} // namespace
} // namespace trawlmeter
